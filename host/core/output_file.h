// Where written animations go: a byte sink that throws HostError when a write
// fails, kept in memory or in a file that only takes its final name once it
// is complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends size bytes; throws HostError when they cannot be stored.
    virtual void Write(const void* bytes, std::size_t size) = 0;
};

class MemorySink : public ByteSink {
public:
    void Write(const void* bytes, std::size_t size) override;
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// A file being written. Until Commit succeeds the data lives in a new file of
// its own, which the destructor removes, so a failed or abandoned write never
// damages a file already at the target path.
class OutputFile : public ByteSink {
public:
    // A file that replaces target on Commit; the work file is made beside it,
    // so a folder that cannot take the file is reported here.
    static OutputFile Replacing(const std::string& target);
    // A new file in the temporary folder ($TMPDIR, else /tmp), named
    // prefix + six random characters + suffix, kept under that name.
    static OutputFile Temporary(const std::string& prefix, const std::string& suffix);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    OutputFile(const OutputFile&) = delete;
    ~OutputFile() override;

    void Write(const void* bytes, std::size_t size) override;
    // Flushes, closes and puts the file in its place; throws HostError.
    void Commit();

    // The name the file has once committed.
    const std::string& Path() const { return target_; }

private:
    OutputFile(int fd, std::string workPath, std::string target);
    void WriteThrough(const std::uint8_t* data, std::size_t size);
    void Discard() noexcept;

    int fd_ = -1;
    std::string workPath_;
    std::string target_;
    std::vector<std::uint8_t> buffer_;
    bool committed_ = false;
};
