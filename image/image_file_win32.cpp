#include "busy_retry.h"
#include "file_error_codes.h"
#include "image_file.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Some MinGW headers lack them: a write refused because the user's disk quota is used up, and a
// share name that the server does not have.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif
#ifndef ERROR_BAD_NET_NAME
#define ERROR_BAD_NET_NAME 67L
#endif

// The codes of files in folders that a sync program (OneDrive and others) keeps in the cloud,
// which older MinGW headers (Debian 12's) lack: the values of the Windows SDK's winerror.h.
#ifndef ERROR_CLOUD_FILE_PROVIDER_NOT_RUNNING
#define ERROR_CLOUD_FILE_PROVIDER_NOT_RUNNING 362L
#define ERROR_CLOUD_FILE_NOT_IN_SYNC 377L
#define ERROR_CLOUD_FILE_AUTHENTICATION_FAILED 386L
#define ERROR_CLOUD_FILE_NETWORK_UNAVAILABLE 388L
#define ERROR_CLOUD_FILE_UNSUCCESSFUL 389L
#define ERROR_CLOUD_FILE_IN_USE 391L
#define ERROR_CLOUD_FILE_REQUEST_ABORTED 393L
#define ERROR_CLOUD_FILE_ACCESS_DENIED 395L
#define ERROR_CLOUD_FILE_PROPERTY_LOCK_CONFLICT 397L
#define ERROR_CLOUD_FILE_REQUEST_CANCELED 398L
#define ERROR_CLOUD_FILE_PROVIDER_TERMINATED 404L
#endif

#include <algorithm>
#include <array>
#include <cwctype>
#include <string_view>

namespace kelvarin {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          length, nullptr, nullptr);
    return utf8;
}

// The system's own sentence for an error code, as one line without the closing period, so that
// it reads as part of a longer message.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "system error " + std::to_string(code);
    }
    return Utf8(text);
}

void SetError(FileError* error, FileError what) {
    if (error) {
        *error = std::move(what);
    }
}

FileError SystemError(DWORD code) {
    return {FileErrorKindOf(static_cast<long>(code)), SystemText(code)};
}

bool Widen(const std::string& utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) {
        return true;
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                             static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(length));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                          wide.data(), length);
    return true;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const wchar_t a = IsSeparator(text[i]) ? L'\\' : std::towupper(text[i]);
        const wchar_t b = IsSeparator(prefix[i]) ? L'\\' : std::towupper(prefix[i]);
        if (a != b) {
            return false;
        }
    }
    return true;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Whether the last part of a path is one of the names that Windows keeps for devices in every
// folder. Windows ignores an extension, trailing dots and spaces, and a colon after such a name,
// so "nul.nds", "com1 .txt", "AUX..." and "con:" all reach the device rather than a file.
bool IsReservedDeviceName(std::wstring_view path) {
    const auto slash = path.find_last_of(L"\\/");
    std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);
    if (name.size() >= 2 && name[1] == L':' && slash == std::wstring_view::npos) {
        name.remove_prefix(2); // "C:nul" is the device as well
    }
    name = name.substr(0, name.find_first_of(L".:"));
    while (!name.empty() && name.back() == L' ') {
        name.remove_suffix(1);
    }
    static constexpr std::array<std::wstring_view, 6> kPlain{L"CON", L"PRN",    L"AUX",
                                                             L"NUL", L"CONIN$", L"CONOUT$"};
    for (const std::wstring_view reserved : kPlain) {
        if (EqualsNoCase(name, reserved)) {
            return true;
        }
    }
    // COM0 to COM9 and LPT0 to LPT9, and the superscript digits 1 to 3 that Windows also accepts.
    if (name.size() == 4 && (StartsWithNoCase(name, L"COM") || StartsWithNoCase(name, L"LPT"))) {
        const wchar_t digit = name[3];
        return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

// Paths into the device namespace rather than to a file on a drive or a share: "\\.\COM1",
// "\\.\PhysicalDrive0", "\\?\GLOBALROOT\Device\...", "\??\...".
bool IsDevicePath(std::wstring_view path) {
    return StartsWithNoCase(path, L"\\\\.\\") || StartsWithNoCase(path, L"\\\\?\\GLOBALROOT") ||
           StartsWithNoCase(path, L"\\??\\");
}

// The path as the wide-character API needs it: absolute and with the long-path prefix, so that
// paths longer than MAX_PATH (260) reach the file. `notPlain` is set, and nothing else done, for
// a device.
bool SystemPath(const std::string& path, std::wstring& result, std::string& notPlain,
                FileError* error) {
    notPlain.clear();
    std::wstring wide;
    if (!Widen(path, wide)) {
        SetError(error, {FileErrorKind::Other, {}, {}, -1, FileFinding::NotUtf8});
        return false;
    }
    if (wide.empty()) {
        SetError(error, SystemError(ERROR_PATH_NOT_FOUND));
        return false;
    }
    if (IsDevicePath(wide) || IsReservedDeviceName(wide)) {
        notPlain = "a device";
        return true;
    }
    if (StartsWithNoCase(wide, L"\\\\?\\")) {
        result = wide; // already the long form; the system takes it as it is
        return true;
    }
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        SetError(error, SystemError(::GetLastError()));
        return false;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        SetError(error, SystemError(length == 0 ? ::GetLastError() : ERROR_BUFFER_OVERFLOW));
        return false;
    }
    full.resize(length);
    if (IsDevicePath(full)) {
        notPlain = "a device";
        return true;
    }
    if (StartsWithNoCase(full, L"\\\\")) {
        result = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        result = L"\\\\?\\" + full;
    }
    return true;
}

std::int64_t Join(DWORD high, DWORD low) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

// One answer for the look at the path and for the check on the open handle.
bool FactsOfHandle(HANDLE handle, FileFacts& facts, FileError* error) {
    facts = {};
    switch (::GetFileType(handle)) {
    case FILE_TYPE_DISK:
        break;
    case FILE_TYPE_CHAR:
        facts.notPlainFile = "a device";
        return true;
    case FILE_TYPE_PIPE:
        facts.notPlainFile = "a named pipe";
        return true;
    default:
        if (const DWORD code = ::GetLastError(); code != NO_ERROR) {
            SetError(error, SystemError(code));
            return false;
        }
        facts.notPlainFile = "not a disk file";
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        SetError(error, SystemError(::GetLastError()));
        return false;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        facts.notPlainFile = "a folder";
    }
    facts.size = Join(info.nFileSizeHigh, info.nFileSizeLow);
    facts.identity = {info.dwVolumeSerialNumber,
                      static_cast<std::uint64_t>(Join(info.nFileIndexHigh, info.nFileIndexLow))};
    facts.modified = Join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    facts.readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
}

OVERLAPPED At(std::int64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return at;
}

DWORD ChunkOf(std::size_t remaining) {
    return static_cast<DWORD>(std::min<std::size_t>(remaining, 1u << 30));
}

} // namespace

FileErrorKind FileErrorKindOf(long systemCode) {
    switch (static_cast<DWORD>(systemCode)) {
    case NO_ERROR:
        return FileErrorKind::None;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return FileErrorKind::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FileErrorKind::Missing;
    case ERROR_NOT_READY:     // no medium in the drive, or the card was pulled
    case ERROR_INVALID_DRIVE: // the drive letter is gone with its stick
    case ERROR_DEV_NOT_EXIST:
        return FileErrorKind::MediumGone;
    case ERROR_DIRECTORY:
        return FileErrorKind::NotPlainFile;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileErrorKind::NoSpace;
    case ERROR_DISK_QUOTA_EXCEEDED:
        return FileErrorKind::QuotaExceeded;
    case ERROR_FILE_TOO_LARGE:
        return FileErrorKind::FileTooLarge;
    case ERROR_WRITE_PROTECT:
        return FileErrorKind::ReadOnly;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return FileErrorKind::PermissionDenied;
    case ERROR_FILE_READ_ONLY:
        return FileErrorKind::NotPermitted;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return FileErrorKind::InputOutput;
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_BAD_NET_RESP:
    case ERROR_SEM_TIMEOUT:
    case ERROR_CONNECTION_ABORTED:
    case ERROR_VC_DISCONNECTED:
        return FileErrorKind::Network;
    case ERROR_CLOUD_FILE_PROVIDER_NOT_RUNNING: // an online-only file and no sync program
    case ERROR_CLOUD_FILE_PROVIDER_TERMINATED:
    case ERROR_CLOUD_FILE_NETWORK_UNAVAILABLE:
    case ERROR_CLOUD_FILE_AUTHENTICATION_FAILED:
    case ERROR_CLOUD_FILE_UNSUCCESSFUL:
    case ERROR_CLOUD_FILE_REQUEST_ABORTED:
    case ERROR_CLOUD_FILE_REQUEST_CANCELED:
    case ERROR_CLOUD_FILE_ACCESS_DENIED:
        return FileErrorKind::CloudUnavailable;
    case ERROR_CLOUD_FILE_IN_USE:
    case ERROR_CLOUD_FILE_NOT_IN_SYNC:
    case ERROR_CLOUD_FILE_PROPERTY_LOCK_CONFLICT:
        return FileErrorKind::CloudSyncing;
    case ERROR_BAD_NETPATH:  // a computer that is not there, or a mistyped one
    case ERROR_BAD_NET_NAME: // a share that computer does not have
        return FileErrorKind::NetworkPathMissing;
    default:
        return FileErrorKind::Other;
    }
}

std::string FileNameOf(const std::string& path) {
    // Both separators count, and a drive letter ends a name too ("C:image.nds").
    const auto end = path.find_last_of("\\/:");
    return end == std::string::npos ? path : path.substr(end + 1);
}

bool InspectPath(const std::string& path, FileFacts& facts, FileError* error) {
    facts = {};
    std::wstring systemPath;
    std::string notPlain;
    if (!SystemPath(path, systemPath, notPlain, error)) {
        return false;
    }
    if (!notPlain.empty()) {
        facts.notPlainFile = notPlain;
        return true;
    }
    // A handle that asks for no access to the contents only looks: it follows links, opens
    // folders, and neither blocks nor clashes with the sharing of a program that holds the file.
    const HANDLE handle =
        ::CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetError(error, SystemError(::GetLastError()));
        return false;
    }
    const bool known = FactsOfHandle(handle, facts, error);
    ::CloseHandle(handle);
    return known;
}

ImageFile ImageFile::Open(const std::string& path, Access access, FileError* error) {
    std::wstring systemPath;
    std::string notPlain;
    if (!SystemPath(path, systemPath, notPlain, error)) {
        return {};
    }
    if (!notPlain.empty()) {
        SetError(error, {FileErrorKind::NotPlainFile, {}, {}, -1, FileFinding::DeviceName});
        return {};
    }
    const bool write = access == Access::ReadWrite;
    // Asked first rather than left to the open, whose answer depends on how the file system
    // keeps the attribute (Wine keeps it as permission bits, which an administrator passes).
    if (const DWORD attributes = ::GetFileAttributesW(systemPath.c_str());
        write && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetError(error, {FileErrorKind::NotPermitted, {}, {}, -1, FileFinding::ReadOnlyMark});
        return {};
    }
    // Others may always read along. While loading they may also write and rename, as on POSIX;
    // while saving nobody else writes, so two programs' changes cannot interleave.
    const DWORD sharing =
        write ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD code = NO_ERROR;
    const bool opened = RetriedWhileBusy(
        [&] {
            handle = ::CreateFileW(systemPath.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0),
                                   sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            code = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : NO_ERROR;
            return handle != INVALID_HANDLE_VALUE;
        },
        [&] { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; });
    if (!opened) {
        SetError(error, SystemError(code));
        return {};
    }
    return ImageFile(reinterpret_cast<Handle>(handle));
}

bool ImageFile::facts(FileFacts& facts, FileError* error) const {
    return FactsOfHandle(AsHandle(handle_), facts, error);
}

bool ImageFile::lock(Lock kind, FileError* error) {
    // Windows locks are enforced: while a save holds its lock, other programs' reads of the
    // locked range fail too, which is why the lock spans only the length of one pass.
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (kind == Lock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    DWORD code = NO_ERROR;
    const bool locked = RetriedWhileBusy(
        [&] {
            OVERLAPPED whole = At(0);
            const bool done = ::LockFileEx(AsHandle(handle_), flags, 0, MAXDWORD, MAXDWORD, &whole);
            code = done ? NO_ERROR : ::GetLastError();
            return done;
        },
        [&] { return code == ERROR_LOCK_VIOLATION; });
    if (locked || code == ERROR_NOT_SUPPORTED || code == ERROR_INVALID_FUNCTION) {
        return true;
    }
    SetError(error, SystemError(code));
    return false;
}

std::size_t ImageFile::readAt(std::int64_t offset, std::span<std::uint8_t> buffer, FileError* error,
                              bool* endOfFile) const {
    if (endOfFile) {
        *endOfFile = false;
    }
    std::size_t count = 0;
    while (count < buffer.size()) {
        OVERLAPPED at = At(offset + static_cast<std::int64_t>(count));
        DWORD got = 0;
        const bool ok = ::ReadFile(AsHandle(handle_), buffer.data() + count,
                                   ChunkOf(buffer.size() - count), &got, &at);
        const DWORD code = ok ? NO_ERROR : ::GetLastError();
        if (!ok && code != ERROR_HANDLE_EOF) {
            SetError(error, SystemError(code));
            return count;
        }
        if (got == 0) {
            if (endOfFile) {
                *endOfFile = true;
            }
            SetError(error, {FileErrorKind::Other, {}, {}, -1, FileFinding::PastTheEnd});
            return count;
        }
        count += got;
    }
    return count;
}

bool ImageFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                        FileError* error) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        OVERLAPPED at = At(offset + static_cast<std::int64_t>(done));
        DWORD put = 0;
        if (!::WriteFile(AsHandle(handle_), bytes.data() + done, ChunkOf(bytes.size() - done), &put,
                         &at)) {
            SetError(error, SystemError(::GetLastError()));
            return false;
        }
        if (put == 0) {
            SetError(error, {FileErrorKind::Other, {}, {}, -1, FileFinding::NothingAccepted});
            return false;
        }
        done += put;
    }
    return true;
}

bool ImageFile::flushToDisk(FileError* error) const {
    if (!::FlushFileBuffers(AsHandle(handle_))) {
        SetError(error, SystemError(::GetLastError()));
        return false;
    }
    return true;
}

std::size_t ImageFile::readBackAt(std::int64_t offset, std::span<std::uint8_t> buffer,
                                  ReadBack& way, FileError* error) const {
    // Windows has no way to drop the cached pages of a range, but a handle opened without
    // buffering reads from the storage itself. That needs reads of whole sectors into memory
    // aligned to them: a page (4096 bytes) covers the sector sizes in use. The save's range lock
    // would refuse this second handle's read, so it ends here; the handle's sharing keeps other
    // writers out until the save closes the file. A lock that would not end (none was taken,
    // or the file system has none) is no reason to fail: the read tells.
    constexpr std::int64_t kAlign = 4096;
    OVERLAPPED whole = At(0);
    ::UnlockFileEx(AsHandle(handle_), 0, MAXDWORD, MAXDWORD, &whole);
    const HANDLE direct = ::ReOpenFile(AsHandle(handle_), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       FILE_FLAG_NO_BUFFERING);
    way = ReadBack::CachedOnly;
    if (direct == INVALID_HANDLE_VALUE) {
        // A file system that cannot do this (some network redirectors) is read through the
        // system's cache, after the flush.
        return readAt(offset, buffer, error);
    }
    const std::int64_t first = offset / kAlign * kAlign;
    const std::int64_t end = offset + static_cast<std::int64_t>(buffer.size());
    const std::int64_t span = (end - first + kAlign - 1) / kAlign * kAlign;
    auto* aligned = static_cast<std::uint8_t*>(::VirtualAlloc(
        nullptr, static_cast<SIZE_T>(span), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::size_t copied = 0;
    if (aligned) {
        OVERLAPPED at = At(first);
        DWORD got = 0;
        const bool ok = ::ReadFile(direct, aligned, static_cast<DWORD>(span), &got, &at);
        if (ok && got >= static_cast<DWORD>(end - first)) {
            std::copy_n(aligned + (offset - first), buffer.size(), buffer.begin());
            copied = buffer.size();
        }
        ::VirtualFree(aligned, 0, MEM_RELEASE);
    }
    ::CloseHandle(direct);
    if (copied == buffer.size()) {
        way = ReadBack::PastCache;
        return copied;
    }
    // The storage refused the unbuffered read (a sector larger than a page, say): read through
    // the cache, and say so.
    return readAt(offset, buffer, error);
}

bool ImageFile::close(FileError* error) {
    if (handle_ == kClosed) {
        return true;
    }
    const HANDLE handle = AsHandle(handle_);
    handle_ = kClosed;
    if (!::CloseHandle(handle)) {
        SetError(error, SystemError(::GetLastError()));
        return false;
    }
    return true;
}

} // namespace kelvarin
