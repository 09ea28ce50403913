#include "FrameWriter.h"

#include "FrameMaking.h"
#include "Stopping.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace tarnivo::frames {

namespace {

// The pictures held at once, raw and encoded: a few per thread, but not beyond this many bytes
// (for pictures of 4K and more), and never fewer than three (one read, one encoded, one written).
constexpr size_t kMostHeldBytes = 96u << 20;
constexpr int kLeastSlots = 3;

// The one conversion of a pattern: where it starts and ends, and its width ("%06d": 6).
struct Conversion {
    size_t start = std::string::npos;
    size_t end = 0;
    int width = 0;
};

// The pattern's conversion; start is npos when it has none or more than one, or another kind.
Conversion conversionOf(const std::string& pattern)
{
    Conversion found;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9')
            ++j;
        if (found.start != std::string::npos || j >= pattern.size() || pattern[j] != 'd' || j - i > 4)
            return Conversion();
        found.start = i;
        found.end = j + 1;
        found.width = std::atoi(pattern.substr(i + 1, j - i - 1).c_str());
        i = j;
    }
    return found;
}

std::string withoutDoubledPercent(const std::string& text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        plain.push_back(text[i]);
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%')
            ++i;
    }
    return plain;
}

bool writeAll(int fd, const std::uint8_t* bytes, size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

std::string stoppedBy(int signal) { return "stopped by signal " + std::to_string(signal); }

struct Slot {
    enum class State { Free, Filled, Encoding, Encoded };
    State state = State::Free;
    std::int64_t number = 0;
    Picture picture;
    std::vector<std::uint8_t> jpeg;
};

// The slots and the counters every thread looks at, under one lock.
class Pipeline {
public:
    Pipeline(PictureStream& stream, const JpegOptions& options, FrameSink& sink, int slots)
        : m_stream(stream), m_options(options), m_sink(sink), m_slots(static_cast<size_t>(slots))
    {
        for (Slot& slot : m_slots)
            slot.picture.Allocate(stream.format());
    }

    void Read();
    void Encode();
    void Output();
    std::int64_t written() const { return m_written; }
    const std::string& error() const { return m_error; }

private:
    Slot& slotFor(std::int64_t index) { return m_slots[static_cast<size_t>(index) % m_slots.size()]; }
    // Under the lock: the first failure is the one told.
    void fail(const std::string& error)
    {
        if (!m_failed)
            m_error = error;
        m_failed = true;
        m_changed.notify_all();
    }

    PictureStream& m_stream;
    const JpegOptions m_options;
    FrameSink& m_sink;
    std::vector<Slot> m_slots;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::int64_t m_read = 0;          // pictures read into slots, in order
    std::int64_t m_nextToEncode = 0;  // index of the next picture a thread takes up
    std::int64_t m_written = 0;       // frames put into the sink, in order
    bool m_readingEnded = false;
    bool m_failed = false;
    std::string m_error;
};

void Pipeline::Read()
{
    for (std::int64_t index = 0;; ++index) {
        Slot& slot = slotFor(index);
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [&] { return m_failed || slot.state == Slot::State::Free; });
            if (m_failed)
                break;
        }
        // A free slot belongs to the reader alone.
        std::string error;
        const PictureStream::Outcome outcome = m_stream.ReadPicture(slot.picture, &error);
        std::lock_guard<std::mutex> lock(m_lock);
        if (outcome != PictureStream::Outcome::Picture) {
            m_readingEnded = true;
            if (StopSignal() != 0)
                fail(stoppedBy(StopSignal()));
            else if (outcome == PictureStream::Outcome::Broken)
                fail(error);
            m_changed.notify_all();
            break;
        }
        slot.number = index + 1;
        slot.state = Slot::State::Filled;
        m_read = index + 1;
        m_changed.notify_all();
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_readingEnded = true;
    m_changed.notify_all();
}

void Pipeline::Encode()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_changed.wait(lock, [&] { return m_failed || m_nextToEncode < m_read || m_readingEnded; });
        if (m_failed || (m_nextToEncode >= m_read && m_readingEnded))
            return;
        Slot& slot = slotFor(m_nextToEncode++);
        slot.state = Slot::State::Encoding;
        lock.unlock();
        EncodeJpeg(m_stream.format(), slot.picture, m_options, slot.jpeg);
        lock.lock();
        slot.state = Slot::State::Encoded;
        m_changed.notify_all();
    }
}

void Pipeline::Output()
{
    for (std::int64_t index = 0;; ++index) {
        Slot& slot = slotFor(index);
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_changed.wait(lock, [&] {
                return m_failed || (slot.state == Slot::State::Encoded && slot.number == index + 1) ||
                       (m_readingEnded && index >= m_read);
            });
            if (m_failed || (m_readingEnded && index >= m_read))
                return;
        }
        std::string error;
        const bool stopped = StopSignal() != 0;
        const bool put = !stopped && m_sink.Put(index + 1, slot.jpeg, &error);
        std::lock_guard<std::mutex> lock(m_lock);
        if (!put) {
            fail(stopped ? stoppedBy(StopSignal()) : error);
            return;
        }
        slot.state = Slot::State::Free;
        m_written = index + 1;
        m_changed.notify_all();
    }
}

}  // namespace

FrameFiles::FrameFiles(std::string pattern) : m_pattern(std::move(pattern))
{
    const size_t slash = m_pattern.rfind('/');
    m_temporary = (slash == std::string::npos ? std::string() : m_pattern.substr(0, slash + 1)) +
                  media::kFrameTemporaryName;
}

FrameFiles::~FrameFiles() { ::unlink(m_temporary.c_str()); }

bool IsFramePattern(const std::string& pattern) { return conversionOf(pattern).start != std::string::npos; }

std::string FrameFiles::NameOf(std::int64_t number) const
{
    const Conversion conversion = conversionOf(m_pattern);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*lld", conversion.width, static_cast<long long>(number));
    return withoutDoubledPercent(m_pattern.substr(0, conversion.start)) + digits +
           withoutDoubledPercent(m_pattern.substr(conversion.end));
}

bool FrameFiles::Put(std::int64_t number, const std::vector<std::uint8_t>& jpeg, std::string* error)
{
    const std::string name = NameOf(number);
    const int fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    bool done = fd >= 0 && writeAll(fd, jpeg.data(), jpeg.size());
    int failure = errno;
    if (fd >= 0 && ::close(fd) != 0 && done) {
        done = false;
        failure = errno;
    }
    if (done && ::rename(m_temporary.c_str(), name.c_str()) != 0) {
        done = false;
        failure = errno;
    }
    if (done)
        return true;
    *error = "cannot write " + name + ": " + std::strerror(failure);
    ::unlink(m_temporary.c_str());
    return false;
}

bool FrameSizes::Put(std::int64_t, const std::vector<std::uint8_t>& jpeg, std::string* error)
{
    const std::string line = std::to_string(jpeg.size()) + "\n";
    if (writeAll(m_fd, reinterpret_cast<const std::uint8_t*>(line.data()), line.size()))
        return true;
    *error = std::string("cannot tell the frames' sizes: ") + std::strerror(errno);
    return false;
}

int EncodingThreads()
{
    cpu_set_t usable;
    CPU_ZERO(&usable);
    if (::sched_getaffinity(0, sizeof usable, &usable) == 0 && CPU_COUNT(&usable) > 0)
        return CPU_COUNT(&usable);
    return std::max(1u, std::thread::hardware_concurrency());
}

std::int64_t WriteFrames(PictureStream& stream, const JpegOptions& options, FrameSink& sink, int threads,
                         std::string* error)
{
    threads = std::max(1, threads);
    // Each slot holds a picture and its JPEG file, which is at most about as large.
    const size_t slotBytes = 2 * stream.format().PictureBytes();
    const size_t affordable = std::max<size_t>(kLeastSlots, kMostHeldBytes / std::max<size_t>(1, slotBytes));
    const int slots = static_cast<int>(std::min<size_t>(affordable, 2 * static_cast<size_t>(threads) + 2));
    Pipeline pipeline(stream, options, sink, slots);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i)
        workers.emplace_back([&pipeline] { pipeline.Encode(); });
    std::thread output([&pipeline] { pipeline.Output(); });
    pipeline.Read();
    output.join();
    for (std::thread& worker : workers)
        worker.join();
    *error = pipeline.error();
    return pipeline.written();
}

}  // namespace tarnivo::frames
