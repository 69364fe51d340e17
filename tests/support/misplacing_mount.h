#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace kelvarin::testing {

// The misplacing file system (misplacing_fs.cpp) mounted for as long as this object lives: a
// card whose driver, once armed, puts the write at one offset in the wrong place while the page
// cache keeps what was written. Mounting needs root, /dev/fuse and a build with libfuse3.
class MisplacingMount {
  public:
    // Mounts the folder `storage` (made if missing) at `mountPoint` (likewise).
    MisplacingMount(const std::filesystem::path& storage, const std::filesystem::path& mountPoint,
                    std::int64_t offset);
    // Unmounts and stops the daemon, whatever state the test left them in.
    ~MisplacingMount();
    MisplacingMount(const MisplacingMount&) = delete;
    MisplacingMount& operator=(const MisplacingMount&) = delete;

    // False, with the reason in why(), if nothing could be mounted here.
    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const std::string& why() const { return why_; }
    void arm(bool on) const;

  private:
    [[nodiscard]] bool waitForMount(const std::filesystem::path& log);

    std::filesystem::path mountPoint_;
    int daemon_ = -1;
    bool mounted_ = false;
    std::string why_;
};

} // namespace kelvarin::testing
