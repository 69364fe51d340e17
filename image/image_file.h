#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kelvarin {

// What kind of thing a path names. Anything but RegularFile is refused as a game image.
enum class FileKind {
    Missing,
    RegularFile,
    Directory,
    NamedPipe,
    CharacterDevice,
    BlockDevice,
    Socket,
    Other
};

// "a directory", "a named pipe", ... for messages.
const char* FileKindDescription(FileKind kind);

struct FileFacts {
    FileKind kind = FileKind::Missing;
    std::int64_t size = 0; // meaningful for regular files only
    int errorCode = 0;     // the system's error number when the path could not be looked at
};

// Looks at a path without opening it, following symbolic links, so that a pipe or a device is
// recognised before anything could block on it or disturb it. On failure `error` gets the
// system's reason and the kind is Missing.
FileFacts InspectPath(const std::string& path, std::string* error = nullptr);

// An open file descriptor, owned for the length of one operation. Opening never creates a file
// and never blocks (a named pipe without a writer does not hang the program).
class ImageFile {
  public:
    enum class Access { Read, Write };

    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ImageFile(ImageFile&& other) noexcept;
    ImageFile& operator=(ImageFile&& other) noexcept;
    ~ImageFile();

    // On failure the returned file is not open and `error` holds the system's reason.
    static ImageFile Open(const std::string& path, Access access, std::string* error = nullptr);

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }

    // Facts about the open file itself, immune to the path being swapped after the open.
    [[nodiscard]] FileFacts facts(std::string* error = nullptr) const;

    struct ReadOutcome {
        std::size_t count = 0;  // bytes read from the front of the buffer
        bool endOfFile = false; // stopped because the file ends; otherwise `error` says why
        std::string error;      // empty when all bytes were read
    };

    // Reads up to buffer.size() bytes at `offset`.
    ReadOutcome readAt(std::int64_t offset, std::span<std::uint8_t> buffer) const;

    // Writes all of `bytes` at `offset`; false (with the reason) if any byte was not written.
    bool writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                 std::string* error = nullptr) const;

    // Asks the system to put everything written so far on the disk and waits for it.
    bool flushToDisk(std::string* error = nullptr) const;

    // Closes now and reports a failed close, which on some file systems is the first sign that
    // written data was lost. The destructor closes silently.
    bool close(std::string* error = nullptr);

  private:
    explicit ImageFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace kelvarin
