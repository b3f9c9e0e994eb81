// The consumer library: capture files through the frame catalog and its on-demand decoding,
// the live stream through the receive engine (k740_listener.cpp), device information packets through the
// status lines of k740-convert. Every rule comes from the layers below; this file only turns
// their results into the consumer types and their failures into k740::Error.
#include "k740/k740.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
// Windows' C runtime: the handle stays out of child processes.
#define O_CLOEXEC _O_NOINHERIT
#endif

#include "sdk/k740_shared.h"
#include "acquisition/lidar_frame.h"
#include "device/device_packet.h"
#include "device/status_lines.h"
#include "display/point_math.h"
#include "playback/capture_index.h"
#include "sdk/azimuth_table.h"

namespace k740 {

void checkProtocolAndViewMode(Protocol protocol, ViewMode viewMode) {
    if (protocol != Protocol::V1_6 && protocol != Protocol::V1_7)
        throw Error(ErrorKind::InvalidArgument, "protocol takes 0 (\"1.6\") or 1 (\"1.7\"), not " +
                                                    std::to_string(static_cast<int>(protocol)));
    if (viewMode != ViewMode::WholeCentimetres && viewMode != ViewMode::Exact)
        throw Error(ErrorKind::InvalidArgument,
                    "view mode takes 1 or 2, not " + std::to_string(static_cast<int>(viewMode)));
}

// ---- Frame ----

namespace {

const FrameMaker::Data& emptyData() {
    static const FrameMaker::Data empty;
    return empty;
}

}  // namespace

Frame::Frame() : data_(std::shared_ptr<const Data>(), &emptyData()) {}

std::size_t Frame::size() const { return data_->record.pointAngle.size(); }
const std::vector<double>& Frame::azimuth() const { return data_->record.pointAngle; }
const std::vector<double>& Frame::distance() const { return data_->record.distance; }
const std::vector<int>& Frame::intensity() const { return data_->record.intensity; }
const std::vector<std::uint64_t>& Frame::time() const { return data_->record.timeStamp; }
const std::vector<double>& Frame::blockAzimuth() const { return data_->record.blockAngle; }

void Frame::xyz(float* out) const {
    // The CSV export's rule for the export pass: pointCoordinates (view mode 1 truncating
    // toward zero) of the scaled distance.
    const int protocol = static_cast<int>(protocol_);
    const int viewIndex = static_cast<int>(viewMode_) - 1;  // the view-mode combo index
    const LidarDataSingleLine& f = data_->record;
    const std::size_t n = std::min(f.pointAngle.size(), f.distance.size());
    const double* azimuth = f.pointAngle.data();
    const double* distance = f.distance.data();
    const auto put = [out](std::size_t i, const PointCm& p) {
        out[3 * i] = p.x;
        out[3 * i + 1] = p.y;
        out[3 * i + 2] = p.z;
    };
    std::unique_lock<std::mutex> held;
    if (data_->table) held = std::unique_lock<std::mutex>(data_->table->lock, std::try_to_lock);
    if (held.owns_lock()) {
        AzimuthTable& table = *data_->table;
        for (std::size_t i = 0; i < n; ++i)
            put(i, pointCoordinates(scaleDistance(distance[i], protocol), table.get(azimuth[i]), viewIndex));
    } else {  // no table, or another thread is using it
        for (std::size_t i = 0; i < n; ++i)
            put(i, pointCoordinates(scaleDistance(distance[i], protocol), azimuth[i], viewIndex));
    }
    // A frame always has equal vectors; should one fall short, its points stay at the origin.
    std::fill(out + 3 * n, out + 3 * size(), 0.0f);
}

std::vector<PointXyz> Frame::xyz() const {
    std::vector<PointXyz> points(size());
    static_assert(sizeof(PointXyz) == 3 * sizeof(float), "PointXyz is three packed floats");
    if (!points.empty()) xyz(&points[0].x);
    return points;
}

// ---- Source ----

Source::~Source() = default;

std::size_t Source::run(const std::function<bool(const Frame&)>& onFrame, double idleTimeoutSeconds) {
    std::size_t handed = 0;
    while (std::optional<Frame> f = next(idleTimeoutSeconds)) {
        ++handed;
        if (!onFrame(*f)) break;
    }
    return handed;
}

// ---- Capture ----

struct Capture::Impl {
    std::string path;
    CaptureOptions options;
    FrameCatalog catalog;
    std::string readError;
    std::size_t cursor = 0;  // next()'s frame
    // Shared by the frames made here, and by them with each other.
    std::shared_ptr<AzimuthTable> table = std::make_shared<AzimuthTable>();

    // Guards everything below: several threads may ask for frames at once.
    std::mutex lock;
    // Readers of the file not in use. Each decoding borrows one (or opens one when none is
    // free), so each call reads with a file position of its own; at most kIdleSources stay.
    std::vector<std::unique_ptr<CaptureFrameSource>> idle;
    std::size_t lastIndex = static_cast<std::size_t>(-1);
    // Reading in order, the next frame is decoded on a thread of its own while the caller works
    // on this one. Declared last: it ends before anything it uses.
    std::size_t aheadIndex = 0;
    std::shared_future<std::shared_ptr<const FrameMaker::Data>> ahead;

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

    std::shared_ptr<const FrameMaker::Data> decode(std::size_t i) {
        std::unique_ptr<CaptureFrameSource> source = borrow();
        auto data = std::make_shared<FrameMaker::Data>();
        data->table = table;
        std::string why;
        const bool ok = source->decode(i, data->record, &why);
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
    std::shared_future<std::shared_ptr<const FrameMaker::Data>> decoded;
    // The last holder of a decoding ahead waits for it to end: that happens here, after the
    // lock is released, since the decoding takes the lock too.
    std::shared_future<std::shared_ptr<const FrameMaker::Data>> replaced;
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
    std::shared_ptr<const FrameMaker::Data> data = decoded.valid() ? decoded.get() : d.decode(i);
    return FrameMaker::make(std::move(data), i, d.options.protocol, d.options.viewMode);
}

std::optional<Frame> Capture::next(double) {
    Impl& d = impl();
    if (d.cursor >= d.catalog.frames.size()) return std::nullopt;
    Frame f = frame(d.cursor);
    ++d.cursor;
    return f;
}

std::size_t Capture::cursor() const { return impl().cursor; }

void Capture::rewind(std::size_t index) { impl().cursor = index; }

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
