// The consumer library: capture files through the frame catalog and its on-demand decoding,
// device information packets through the status lines of k740-convert (the live stream is in
// k740_listener.cpp). Every rule comes from the layers below; this file only turns
// their results into the consumer types and their failures into k740::Error.
#include "k740/k740.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#ifdef _WIN32
// Windows' C runtime: the handle stays out of child processes.
#define O_CLOEXEC _O_NOINHERIT
#endif

#include "sdk/k740_shared.h"
#include "acquisition/lidar_frame.h"
#include "device/device_packet.h"
#include "device/status_lines.h"
#include "export/csv_format.h"
#include "playback/capture_index.h"

namespace k740 {

namespace {

const LidarDataSingleLine& emptyRecord() {
    static const LidarDataSingleLine empty;
    return empty;
}

}  // namespace

void checkProtocolAndViewMode(int protocol, int viewMode) {
    if (protocol != kProtocol16 && protocol != kProtocol17)
        throw Error(ErrorKind::InvalidArgument,
                    "protocol takes 0 (\"1.6\") or 1 (\"1.7\"), not " + std::to_string(protocol));
    if (viewMode != 1 && viewMode != 2)
        throw Error(ErrorKind::InvalidArgument, "view mode takes 1 or 2, not " + std::to_string(viewMode));
}

// ---- Frame ----

Frame FrameMaker::make(std::shared_ptr<const LidarDataSingleLine> data, std::size_t index, int protocol,
                       int viewMode) {
    Frame f;
    f.data_ = std::move(data);
    f.index_ = index;
    f.protocol_ = protocol;
    f.viewMode_ = viewMode;
    return f;
}

Frame::Frame() : data_(std::shared_ptr<const LidarDataSingleLine>(), &emptyRecord()) {}

std::size_t Frame::size() const { return data_->pointAngle.size(); }
const std::vector<double>& Frame::azimuth() const { return data_->pointAngle; }
const std::vector<double>& Frame::distance() const { return data_->distance; }
const std::vector<int>& Frame::intensity() const { return data_->intensity; }
const std::vector<std::uint64_t>& Frame::time() const { return data_->timeStamp; }
const std::vector<double>& Frame::blockAzimuth() const { return data_->blockAngle; }

namespace {

// Coordinates of points [begin, end) of a frame by the CSV export's rule.
void exportXyz(const LidarDataSingleLine& f, std::size_t begin, std::size_t end, const CsvExportOptions& options,
               float* out) {
    for (std::size_t i = begin; i < end; ++i) {
        const PointCm p = exportCoordinates(scaleDistance(f.distance[i], options.protocol), f.pointAngle[i], options);
        out[3 * i] = p.x;
        out[3 * i + 1] = p.y;
        out[3 * i + 2] = p.z;
    }
}

// A frame of more points than this is shared out among the processor's cores.
constexpr std::size_t kPointsPerThread = 16384;
constexpr unsigned kMaxThreads = 4;

}  // namespace

void Frame::xyz(float* out) const {
    CsvExportOptions options;
    options.protocol = protocol_;
    options.viewMode = viewMode_ - 1;  // the view-mode combo index
    const LidarDataSingleLine& f = *data_;
    const std::size_t n = std::min(f.pointAngle.size(), f.distance.size());
    const unsigned cores = std::max(1u, std::min(kMaxThreads, std::thread::hardware_concurrency()));
    const std::size_t parts = std::max<std::size_t>(1, std::min<std::size_t>(cores, n / kPointsPerThread));
    std::vector<std::thread> helpers;
    const std::size_t step = (n + parts - 1) / parts;
    for (std::size_t k = 1; k < parts; ++k)
        helpers.emplace_back(exportXyz, std::cref(f), k * step, std::min(n, (k + 1) * step), std::cref(options), out);
    exportXyz(f, 0, std::min(n, step), options, out);
    for (std::thread& t : helpers) t.join();
    // A frame always has equal vectors; should one fall short, its points stay at the origin.
    std::fill(out + 3 * n, out + 3 * size(), 0.0f);
}

std::vector<PointXyz> Frame::xyz() const {
    std::vector<PointXyz> points(size());
    static_assert(sizeof(PointXyz) == 3 * sizeof(float), "PointXyz is three packed floats");
    if (!points.empty()) xyz(&points[0].x);
    return points;
}

// ---- Capture ----

struct Capture::Impl {
    std::string path;
    CaptureOptions options;
    FrameCatalog catalog;
    std::string readError;

    // Guards everything below: several threads may ask for frames at once.
    std::mutex lock;
    // Readers of the file not in use. Each decoding borrows one (or opens one when none is
    // free), so each call reads with a file position of its own; at most kIdleSources stay.
    std::vector<std::unique_ptr<CaptureFrameSource>> idle;
    std::size_t lastIndex = static_cast<std::size_t>(-1);
    // Reading in order, the next frame is decoded on a thread of its own while the caller works
    // on this one. Declared last: it ends before anything it uses.
    std::size_t aheadIndex = 0;
    std::shared_future<std::shared_ptr<const LidarDataSingleLine>> ahead;

    static constexpr std::size_t kIdleSources = 4;

    std::unique_ptr<CaptureFrameSource> borrow() {
        {
            std::lock_guard<std::mutex> guard(lock);
            if (!idle.empty()) {
                std::unique_ptr<CaptureFrameSource> s = std::move(idle.back());
                idle.pop_back();
                return s;
            }
        }
        auto s = std::make_unique<CaptureFrameSource>();
        std::string why;
        if (!s->open(path, &catalog, &why)) throw Error(ErrorKind::ReadFailed, path + ": " + why);
        return s;
    }

    void giveBack(std::unique_ptr<CaptureFrameSource> s) {
        std::lock_guard<std::mutex> guard(lock);
        if (idle.size() < kIdleSources) idle.push_back(std::move(s));
    }

    std::shared_ptr<const LidarDataSingleLine> decode(std::size_t i) {
        std::unique_ptr<CaptureFrameSource> source = borrow();
        auto data = std::make_shared<LidarDataSingleLine>();
        std::string why;
        const bool ok = source->decode(i, *data, &why);
        giveBack(std::move(source));
        if (!ok) throw Error(ErrorKind::ReadFailed, path + ": " + why);
        return data;
    }
};

namespace {

// The system's refusal of a file, as an Error that keeps the error number.
Error fileError(const std::string& path, int code) {
    const ErrorKind kind = code == ENOENT ? ErrorKind::FileNotFound : ErrorKind::ReadFailed;
    return Error(kind, path + ": " + std::strerror(code), code);
}

}  // namespace

Capture::Capture(const std::string& path, const CaptureOptions& options) : impl_(new Impl) {
    checkProtocolAndViewMode(options.protocol, options.viewMode);
    impl_->path = path;
    impl_->options = options;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw fileError(path, errno);
    if (S_ISDIR(st.st_mode)) throw Error(ErrorKind::NotACapture, path + ": is a directory, not a capture file");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw fileError(path, errno);
    ::close(fd);
    CatalogResult result = buildFrameCatalog(path, options.singleLine);
    if (!result.status.opened) throw Error(ErrorKind::NotACapture, path + ": " + result.status.error);
    impl_->catalog = std::move(result.catalog);
    if (!result.status.complete) impl_->readError = result.status.error;
    impl_->giveBack(impl_->borrow());  // the file opens for decoding too, or the capture fails here
}

Capture::~Capture() = default;
Capture::Capture(Capture&&) noexcept = default;
Capture& Capture::operator=(Capture&&) noexcept = default;

Capture::Impl& Capture::impl() const {
    if (!impl_) throw Error(ErrorKind::InvalidArgument, "this Capture was moved from and holds no file");
    return *impl_;
}

const std::string& Capture::path() const { return impl().path; }
const CaptureOptions& Capture::options() const { return impl().options; }
std::size_t Capture::size() const { return impl().catalog.frames.size(); }
std::uint64_t Capture::packets() const { return impl().catalog.packets; }
std::uint64_t Capture::otherKindPackets() const { return impl().catalog.otherKindPackets; }
const std::string& Capture::readError() const { return impl().readError; }

Frame Capture::frame(std::size_t i) const {
    Impl& d = impl();
    if (i >= size())
        throw Error(ErrorKind::InvalidArgument, "frame " + std::to_string(i) + " is outside the capture's " +
                                                    std::to_string(size()) + " frames");
    std::shared_future<std::shared_ptr<const LidarDataSingleLine>> decoded;
    // The last holder of a decoding ahead waits for it to end: that happens here, after the
    // lock is released, since the decoding takes the lock too.
    std::shared_future<std::shared_ptr<const LidarDataSingleLine>> replaced;
    {
        std::lock_guard<std::mutex> guard(d.lock);
        if (d.ahead.valid() && d.aheadIndex == i) decoded = d.ahead;
        const bool inOrder = i == d.lastIndex + 1;
        d.lastIndex = i;
        if (inOrder && i + 1 < d.catalog.frames.size() && !(d.ahead.valid() && d.aheadIndex == i + 1)) {
            replaced = std::move(d.ahead);
            d.aheadIndex = i + 1;
            d.ahead = std::async(std::launch::async, [&d, next = i + 1] { return d.decode(next); }).share();
        }
    }
    std::shared_ptr<const LidarDataSingleLine> data = decoded.valid() ? decoded.get() : d.decode(i);
    return FrameMaker::make(std::move(data), i, d.options.protocol, d.options.viewMode);
}

const Frame& Capture::iterator::operator*() {
    if (!loaded_) {
        f_ = c_->frame(i_);
        loaded_ = true;
    }
    return f_;
}

// ---- device information packet ----

std::vector<std::pair<std::string, std::string>> decodeDevicePacket(const std::uint8_t* data, std::size_t length) {
    if (length != kDevicePacketSize)
        throw Error(ErrorKind::InvalidArgument, "a device information packet is " + std::to_string(kDevicePacketSize) +
                                                    " bytes, not " + std::to_string(length));
    if (data == nullptr || !isDevicePacket(data, length))
        throw Error(ErrorKind::InvalidArgument,
                    "not a device information packet: it does not begin A5 FF 00 5A 11 11 55 55");
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [name, text] : deviceStatusLines(data)) out.emplace_back(name, text);
    return out;
}

const char* version() { return K740_VERSION; }

}  // namespace k740
