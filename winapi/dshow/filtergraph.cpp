// dshow: the filter graph, over FFmpeg (libavformat, libavcodec, libswresample) and the
// layer's mixer.
// Stands in for: the filter graph manager (CLSID_FilterGraph) with IGraphBuilder,
// IMediaControl, IMediaEventEx, IMediaSeeking and IBasicAudio.
// Supports: RenderFile of one local file holding an audio stream FFmpeg can decode (WMA,
// MP3, Ogg, WAV ...), played through the shared audio device; Run, Pause, Stop and
// GetState; GetEvent/FreeEventParams with EC_COMPLETE once the stream has played to its
// end; SetPositions (absolute or relative current position, in 100-ns units),
// GetCurrentPosition, GetDuration, GetPositions; put_Volume/get_Volume in hundredths of
// a decibel (gain 10^(v/2000)). A decoder thread per graph keeps at most half a second
// of converted sound ahead of the mixer, so memory stays bounded whatever the file's
// length. All methods may be called from any thread.
// Does not support: video, filters and pins, play lists, a second file in one graph,
// stop positions, rates other than 1, other time formats, event handles and notify
// windows, balance: they answer E_NOTIMPL (said once on stderr). RenderFile answers
// VFW_E_NOT_FOUND for a missing file, VFW_E_UNSUPPORTED_STREAM for one FFmpeg cannot
// open, VFW_E_CANNOT_RENDER when it holds no decodable audio, and
// VFW_E_NO_AUDIO_HARDWARE when no audio device can be opened.
// Headless: plays into SDL's dummy or disk audio driver like any other sound.
#include <dlfcn.h>
#include <dshow.h>
#include <hostpath.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "backend/audio/audio_mixer.h"
#include "backend/com_classes.h"
#include "backend/syserror.h"
#include "backend/wide_text.h"

using winapi::backend::kMixChannels;
using winapi::backend::kMixRate;

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;   // 100-ns units
constexpr size_t kAheadFrames = kMixRate / 2;   // decoded sound kept ahead of the mixer
constexpr size_t kPrimeFrames = kMixRate / 20;  // Run is settled once this much is ready

HRESULT Unsupported(const char* what) {
    winapi::backend::WarnUnsupported(what);
    return E_NOTIMPL;
}

// FFmpeg is loaded when a graph first renders a file, not when the program starts: its
// libraries pull in well over a hundred more, whose loading would cost every start-up
// about 50 ms of processor time for music that plays only when the user turns it on.
#define SE_FFMPEG_FUNCTIONS(X)       \
    X(av_channel_layout_default)     \
    X(av_find_best_stream)           \
    X(av_frame_alloc)                \
    X(av_frame_free)                 \
    X(av_frame_unref)                \
    X(av_packet_alloc)               \
    X(av_packet_free)                \
    X(av_packet_unref)               \
    X(av_read_frame)                 \
    X(av_rescale)                    \
    X(av_rescale_q)                  \
    X(av_seek_frame)                 \
    X(avcodec_alloc_context3)        \
    X(avcodec_flush_buffers)         \
    X(avcodec_free_context)          \
    X(avcodec_open2)                 \
    X(avcodec_parameters_to_context) \
    X(avcodec_receive_frame)         \
    X(avcodec_send_packet)           \
    X(avformat_close_input)          \
    X(avformat_find_stream_info)     \
    X(avformat_open_input)           \
    X(swr_alloc_set_opts2)           \
    X(swr_close)                     \
    X(swr_convert)                   \
    X(swr_free)                      \
    X(swr_get_out_samples)           \
    X(swr_init)

struct CFfmpeg {
#define SE_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
    SE_FFMPEG_FUNCTIONS(SE_FFMPEG_POINTER)
#undef SE_FFMPEG_POINTER
};

#define SE_FFMPEG_TEXT(value) #value
#define SE_FFMPEG_SONAME(library, major) "lib" library ".so." SE_FFMPEG_TEXT(major)

// The functions, loaded on the first call; null (said once on stderr) when a library or a
// function is missing.
const CFfmpeg* Ffmpeg() {
    static const CFfmpeg* const loaded = []() -> const CFfmpeg* {
        static CFfmpeg table;
        void* libraries[] = {
            dlopen(SE_FFMPEG_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW),
            dlopen(SE_FFMPEG_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), RTLD_NOW),
            dlopen(SE_FFMPEG_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR), RTLD_NOW),
            dlopen(SE_FFMPEG_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR), RTLD_NOW)};
        auto find = [&](const char* name) -> void* {
            for (void* library : libraries) {
                if (library == nullptr) continue;
                if (void* function = dlsym(library, name)) return function;
            }
            return nullptr;
        };
        bool complete = true;
#define SE_FFMPEG_FIND(name)                                          \
    table.name = reinterpret_cast<decltype(table.name)>(find(#name)); \
    complete = complete && table.name != nullptr;
        SE_FFMPEG_FUNCTIONS(SE_FFMPEG_FIND)
#undef SE_FFMPEG_FIND
        if (complete) return &table;
        winapi::backend::WarnUnsupported("DirectShow without FFmpeg's libraries");
        return nullptr;
    }();
    return loaded;
}

class CGraph final : public IGraphBuilder,
                     public IMediaControl,
                     public IMediaEventEx,
                     public IMediaSeeking,
                     public IBasicAudio,
                     public winapi::backend::AudioVoice {
public:
    CGraph() = default;
    ~CGraph() override;

    // IUnknown, shared by every interface.
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IFilterGraph / IGraphBuilder
    HRESULT AddFilter(IBaseFilter*, LPCWSTR) override {
        return Unsupported("IFilterGraph::AddFilter");
    }
    HRESULT RemoveFilter(IBaseFilter*) override {
        return Unsupported("IFilterGraph::RemoveFilter");
    }
    HRESULT EnumFilters(IEnumFilters**) override {
        return Unsupported("IFilterGraph::EnumFilters");
    }
    HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override {
        return Unsupported("IFilterGraph::FindFilterByName");
    }
    HRESULT ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override {
        return Unsupported("IFilterGraph::ConnectDirect");
    }
    HRESULT Reconnect(IPin*) override { return Unsupported("IFilterGraph::Reconnect"); }
    HRESULT Disconnect(IPin*) override { return Unsupported("IFilterGraph::Disconnect"); }
    HRESULT SetDefaultSyncSource() override { return S_OK; }
    HRESULT Connect(IPin*, IPin*) override { return Unsupported("IGraphBuilder::Connect"); }
    HRESULT Render(IPin*) override { return Unsupported("IGraphBuilder::Render"); }
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    HRESULT AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter**) override {
        return Unsupported("IGraphBuilder::AddSourceFilter");
    }
    HRESULT SetLogFile(DWORD_PTR) override { return S_OK; }
    HRESULT Abort() override { return S_OK; }
    HRESULT ShouldOperationContinue() override { return S_OK; }

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState* state) override;
    HRESULT RenderFile(BSTR file) override { return RenderFile(file, nullptr); }
    HRESULT AddSourceFilter(BSTR, IDispatch**) override {
        return Unsupported("IMediaControl::AddSourceFilter");
    }
    HRESULT get_FilterCollection(IDispatch**) override {
        return Unsupported("IMediaControl::get_FilterCollection");
    }
    HRESULT get_RegFilterCollection(IDispatch**) override {
        return Unsupported("IMediaControl::get_RegFilterCollection");
    }
    HRESULT StopWhenReady() override { return Stop(); }

    // IMediaEvent / IMediaEventEx
    HRESULT GetEventHandle(OAEVENT*) override { return Unsupported("IMediaEvent::GetEventHandle"); }
    HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) override;
    HRESULT WaitForCompletion(LONG, LONG*) override {
        return Unsupported("IMediaEvent::WaitForCompletion");
    }
    HRESULT CancelDefaultHandling(LONG) override {
        return Unsupported("IMediaEvent::CancelDefaultHandling");
    }
    HRESULT RestoreDefaultHandling(LONG) override {
        return Unsupported("IMediaEvent::RestoreDefaultHandling");
    }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override {
        return S_OK;
    }  // params hold no memory
    HRESULT SetNotifyWindow(OAHWND, LONG, LONG_PTR) override {
        return Unsupported("IMediaEventEx::SetNotifyWindow");
    }
    HRESULT SetNotifyFlags(LONG) override { return Unsupported("IMediaEventEx::SetNotifyFlags"); }
    HRESULT GetNotifyFlags(LONG*) override { return Unsupported("IMediaEventEx::GetNotifyFlags"); }

    // IMediaSeeking
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override { return QueryPreferredFormat(format); }
    HRESULT IsUsingTimeFormat(const GUID* format) override { return IsFormatSupported(format); }
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override { return GetDuration(stop); }
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override {
        return Unsupported("IMediaSeeking::ConvertTimeFormat");
    }
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                         DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetAvailable(LONGLONG*, LONGLONG*) override {
        return Unsupported("IMediaSeeking::GetAvailable");
    }
    HRESULT SetRate(double rate) override {
        return rate == 1.0 ? S_OK : Unsupported("IMediaSeeking::SetRate other than 1");
    }
    HRESULT GetRate(double* rate) override {
        if (rate == nullptr) return E_POINTER;
        *rate = 1.0;
        return S_OK;
    }
    HRESULT GetPreroll(LONGLONG* preroll) override {
        if (preroll == nullptr) return E_POINTER;
        *preroll = 0;
        return S_OK;
    }

    // IBasicAudio
    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;
    HRESULT put_Balance(LONG) override { return Unsupported("IBasicAudio::put_Balance"); }
    HRESULT get_Balance(LONG*) override { return Unsupported("IBasicAudio::get_Balance"); }

    // AudioVoice: runs on the audio thread under the mixer lock.
    void MixInto(float* mix, uint32_t frames) override;

private:
    // Decoder thread.
    void Decode();
    // Decodes the next packet's sound into pending_; false at the end of the stream
    // (after draining the decoder and the converter).
    bool DecodeMore();
    void Convert(const AVFrame* frame);
    void SeekDecoder(int64_t target);
    bool Primed() const { return ahead_.size() / kMixChannels >= kPrimeFrames || endOfStream_; }
    void FreeDecoder();

    std::atomic<ULONG> references_{1};

    // FFmpeg state, used by RenderFile and then only by the decoder thread.
    const CFfmpeg* av_ = nullptr;  // set once RenderFile has loaded FFmpeg
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    SwrContext* resampler_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    bool demuxerDone_ = false;
    int64_t trimTarget_ = -1;     // after a seek: the 100-ns time the first frame should start at
    int64_t dropFrames_ = 0;      // mix frames still to skip after a seek (the keyframe lead)
    std::vector<float> pending_;  // converted, not yet handed over

    std::mutex mutex_;  // guards everything below
    std::condition_variable decoderWake_;
    std::condition_variable eventArrived_;
    std::thread decoder_;
    bool rendered_ = false;
    bool deviceHeld_ = false;
    bool quit_ = false;
    bool seekPending_ = false;
    int64_t seekTarget_ = 0;
    std::deque<float> ahead_;   // converted frames the mixer takes from the front
    bool endOfStream_ = false;  // the decoder has handed over its last frame
    bool completeSent_ = false;
    FILTER_STATE state_ = State_Stopped;
    int64_t positionBase_ = 0;   // 100-ns position of the first frame after the last seek
    uint64_t playedFrames_ = 0;  // mix frames played since then
    std::deque<LONG> events_;
    LONG volume_ = 0;
    float gain_ = 1.0f;
};

HRESULT CGraph::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder) {
        *object = static_cast<IGraphBuilder*>(this);
    } else if (riid == IID_IMediaControl) {
        *object = static_cast<IMediaControl*>(this);
    } else if (riid == IID_IMediaEvent || riid == IID_IMediaEventEx) {
        *object = static_cast<IMediaEventEx*>(this);
    } else if (riid == IID_IMediaSeeking) {
        *object = static_cast<IMediaSeeking*>(this);
    } else if (riid == IID_IBasicAudio) {
        *object = static_cast<IBasicAudio*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

CGraph::~CGraph() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    decoderWake_.notify_all();
    if (decoder_.joinable()) decoder_.join();
    if (rendered_) winapi::backend::RemoveVoice(this);
    if (deviceHeld_) winapi::backend::ReleaseAudioDevice();
    FreeDecoder();
}

void CGraph::FreeDecoder() {
    if (av_ == nullptr) return;  // nothing was made
    av_->av_frame_free(&frame_);
    av_->av_packet_free(&packet_);
    av_->swr_free(&resampler_);
    av_->avcodec_free_context(&codec_);
    av_->avformat_close_input(&format_);
}

HRESULT CGraph::RenderFile(LPCWSTR file, LPCWSTR playList) {
    if (file == nullptr) return E_POINTER;
    if (playList != nullptr) return Unsupported("IGraphBuilder::RenderFile with a play list");
    {
        std::lock_guard lock(mutex_);
        if (rendered_) return Unsupported("IGraphBuilder::RenderFile: a second file in one graph");
    }
    av_ = Ffmpeg();
    if (av_ == nullptr) return VFW_E_UNSUPPORTED_STREAM;
    const std::string host = ProgramToHostPath(winapi::backend::WideToProgramText(file));
    const int opened = av_->avformat_open_input(&format_, host.c_str(), nullptr, nullptr);
    if (opened < 0) return opened == AVERROR(ENOENT) ? VFW_E_NOT_FOUND : VFW_E_UNSUPPORTED_STREAM;
    HRESULT result = VFW_E_CANNOT_RENDER;
    const AVCodec* decoder = nullptr;
    if (av_->avformat_find_stream_info(format_, nullptr) < 0 ||
        (stream_ = av_->av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0)) <
            0 ||
        decoder == nullptr || (codec_ = av_->avcodec_alloc_context3(decoder)) == nullptr ||
        av_->avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar) < 0 ||
        av_->avcodec_open2(codec_, decoder, nullptr) < 0) {
        FreeDecoder();
        return result;
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_->av_channel_layout_default(&codec_->ch_layout, codec_->ch_layout.nb_channels);
    }
    if (av_->swr_alloc_set_opts2(&resampler_, &stereo, AV_SAMPLE_FMT_FLT,
                                 static_cast<int>(kMixRate), &codec_->ch_layout, codec_->sample_fmt,
                                 codec_->sample_rate, 0, nullptr) < 0 ||
        av_->swr_init(resampler_) < 0 || (packet_ = av_->av_packet_alloc()) == nullptr ||
        (frame_ = av_->av_frame_alloc()) == nullptr) {
        FreeDecoder();
        return result;
    }
    if (!winapi::backend::AcquireAudioDevice()) {
        FreeDecoder();
        return VFW_E_NO_AUDIO_HARDWARE;
    }
    {
        std::lock_guard lock(mutex_);
        deviceHeld_ = true;
        rendered_ = true;
    }
    decoder_ = std::thread([this] { Decode(); });
    winapi::backend::AddVoice(this);
    return S_OK;
}

void CGraph::Decode() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (seekPending_) {
            const int64_t target = seekTarget_;
            seekPending_ = false;
            pending_.clear();
            lock.unlock();
            SeekDecoder(target);
            lock.lock();
            continue;
        }
        if (!pending_.empty()) {
            // Hand over what fits; wait for the mixer to make room for the rest.
            const size_t room =
                kAheadFrames * kMixChannels - std::min(ahead_.size(), kAheadFrames * kMixChannels);
            const size_t take = std::min(room, pending_.size());
            ahead_.insert(ahead_.end(), pending_.begin(),
                          pending_.begin() + static_cast<long>(take));
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(take));
            if (!pending_.empty()) decoderWake_.wait(lock);
            continue;
        }
        if (endOfStream_) {
            decoderWake_.wait(lock);
            continue;
        }
        lock.unlock();
        const bool more = DecodeMore();
        lock.lock();
        if (!more && !seekPending_ && pending_.empty()) endOfStream_ = true;
    }
}

bool CGraph::DecodeMore() {
    for (;;) {
        const int received = av_->avcodec_receive_frame(codec_, frame_);
        if (received == 0) {
            Convert(frame_);
            av_->av_frame_unref(frame_);
            if (!pending_.empty()) return true;
            continue;
        }
        if (received == AVERROR_EOF) {
            // Drain what the converter still holds.
            float tail[4096 * kMixChannels];
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(tail)};
            const int got = av_->swr_convert(resampler_, out, 4096, nullptr, 0);
            if (got > 0) {
                pending_.insert(pending_.end(), tail, tail + got * static_cast<int>(kMixChannels));
                return true;
            }
            return false;
        }
        if (received != AVERROR(EAGAIN)) return false;  // a broken stream ends here
        if (demuxerDone_) {
            av_->avcodec_send_packet(codec_, nullptr);
            continue;
        }
        const int read = av_->av_read_frame(format_, packet_);
        if (read < 0) {
            demuxerDone_ = true;
            av_->avcodec_send_packet(codec_, nullptr);  // start draining the decoder
            continue;
        }
        if (packet_->stream_index == stream_) av_->avcodec_send_packet(codec_, packet_);
        av_->av_packet_unref(packet_);
    }
}

void CGraph::Convert(const AVFrame* frame) {
    const int capacity = av_->swr_get_out_samples(resampler_, frame->nb_samples);
    if (capacity <= 0) return;
    std::vector<float> converted(static_cast<size_t>(capacity) * kMixChannels);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(converted.data())};
    const int got =
        av_->swr_convert(resampler_, out, capacity,
                         const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (got <= 0) return;
    if (trimTarget_ >= 0) {
        const AVStream* stream = format_->streams[stream_];
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
            const int64_t origin = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
            const int64_t shown =
                av_->av_rescale_q(frame->best_effort_timestamp - origin, stream->time_base,
                                  AVRational{1, static_cast<int>(kUnitsPerSecond)});
            if (shown < trimTarget_)
                dropFrames_ = (trimTarget_ - shown) * kMixRate / kUnitsPerSecond;
        }
        trimTarget_ = -1;
    }
    int64_t skip = std::min<int64_t>(dropFrames_, got);
    dropFrames_ -= skip;
    pending_.insert(pending_.end(), converted.begin() + skip * kMixChannels,
                    converted.begin() + static_cast<long>(got) * kMixChannels);
}

void CGraph::SeekDecoder(int64_t target) {
    AVStream* stream = format_->streams[stream_];
    const int64_t timestamp = av_->av_rescale_q(
        target, AVRational{1, static_cast<int>(kUnitsPerSecond)}, stream->time_base);
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    av_->av_seek_frame(format_, stream_, start + timestamp, AVSEEK_FLAG_BACKWARD);
    av_->avcodec_flush_buffers(codec_);
    // A fresh converter: nothing of the old position may leak into the new one.
    av_->swr_close(resampler_);
    av_->swr_init(resampler_);
    demuxerDone_ = false;
    // Decoding resumes at the keyframe at or before the target; Convert skips the lead
    // by the first frame's time stamp (a stream without time stamps plays from there).
    dropFrames_ = 0;
    trimTarget_ = target;
}

HRESULT CGraph::Run() {
    std::lock_guard lock(mutex_);
    if (!rendered_) return VFW_E_WRONG_STATE;
    state_ = State_Running;
    decoderWake_.notify_all();
    return Primed() ? S_OK : S_FALSE;
}

HRESULT CGraph::Pause() {
    std::lock_guard lock(mutex_);
    if (!rendered_) return VFW_E_WRONG_STATE;
    state_ = State_Paused;
    return Primed() ? S_OK : S_FALSE;
}

HRESULT CGraph::Stop() {
    std::lock_guard lock(mutex_);
    state_ = State_Stopped;
    return S_OK;
}

HRESULT CGraph::GetState(LONG msTimeout, OAFilterState* state) {
    if (state == nullptr) return E_POINTER;
    std::unique_lock lock(mutex_);
    *state = state_;
    if (state_ == State_Stopped || Primed()) return S_OK;
    // Still filling: wait up to the time-out for the decoder to catch up.
    if (msTimeout != 0) {
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::milliseconds(msTimeout < 0 ? 1000 : msTimeout);
        while (!Primed() && std::chrono::steady_clock::now() < until) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            lock.lock();
        }
    }
    return Primed() ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

HRESULT CGraph::GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2, LONG msTimeout) {
    if (eventCode == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
    std::unique_lock lock(mutex_);
    auto ready = [this] { return !events_.empty(); };
    if (msTimeout < 0) {
        eventArrived_.wait(lock, ready);
    } else if (msTimeout > 0) {
        eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
    }
    if (events_.empty()) return E_ABORT;
    *eventCode = events_.front();
    events_.pop_front();
    *param1 = 0;
    *param2 = 0;
    return S_OK;
}

HRESULT CGraph::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                    AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                    AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT CGraph::CheckCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    DWORD have = 0;
    GetCapabilities(&have);
    const DWORD asked = *capabilities;
    *capabilities &= have;
    return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}

HRESULT CGraph::IsFormatSupported(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CGraph::QueryPreferredFormat(GUID* format) {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT CGraph::SetTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : Unsupported("IMediaSeeking::SetTimeFormat");
}

HRESULT CGraph::GetDuration(LONGLONG* duration) {
    if (duration == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (!rendered_ || format_->duration == AV_NOPTS_VALUE) return E_FAIL;
    *duration = av_->av_rescale(format_->duration, kUnitsPerSecond, AV_TIME_BASE);
    return S_OK;
}

HRESULT CGraph::GetCurrentPosition(LONGLONG* current) {
    if (current == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    *current = positionBase_ + static_cast<int64_t>(playedFrames_ * kUnitsPerSecond / kMixRate);
    return S_OK;
}

HRESULT CGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                             DWORD stopFlags) {
    if ((stopFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_NoPositioning) {
        return Unsupported("IMediaSeeking::SetPositions with a stop position");
    }
    (void)stop;
    const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (positioning == AM_SEEKING_NoPositioning) return S_FALSE;
    if (current == nullptr) return E_POINTER;
    if (positioning == AM_SEEKING_IncrementalPositioning) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (!rendered_) return VFW_E_WRONG_STATE;
    int64_t target = *current;
    if (positioning == AM_SEEKING_RelativePositioning) {
        target += positionBase_ + static_cast<int64_t>(playedFrames_ * kUnitsPerSecond / kMixRate);
    }
    if (target < 0) target = 0;
    seekTarget_ = target;
    seekPending_ = true;
    ahead_.clear();
    endOfStream_ = false;
    completeSent_ = false;
    positionBase_ = target;
    playedFrames_ = 0;
    if (currentFlags & AM_SEEKING_ReturnTime) *current = target;
    decoderWake_.notify_all();
    return S_OK;
}

HRESULT CGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current != nullptr) GetCurrentPosition(current);
    if (stop != nullptr && FAILED(GetDuration(stop))) *stop = 0;
    return S_OK;
}

HRESULT CGraph::put_Volume(LONG volume) {
    if (volume < -10000 || volume > 0) return E_INVALIDARG;
    const float gain = static_cast<float>(std::pow(10.0, volume / 2000.0));
    std::lock_guard lock(mutex_);
    volume_ = volume;
    gain_ = gain;
    return S_OK;
}

HRESULT CGraph::get_Volume(LONG* volume) {
    if (volume == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    *volume = volume_;
    return S_OK;
}

void CGraph::MixInto(float* mix, uint32_t frames) {
    // Every holder of this lock keeps it only for a few quick steps, so the mixer may wait.
    std::lock_guard lock(mutex_);
    if (state_ != State_Running) return;
    const size_t available = ahead_.size() / kMixChannels;
    const size_t take = std::min<size_t>(frames, available);
    for (size_t i = 0; i < take * kMixChannels; ++i) mix[i] += gain_ * ahead_[i];
    ahead_.erase(ahead_.begin(), ahead_.begin() + static_cast<long>(take * kMixChannels));
    playedFrames_ += take;
    if (take > 0) decoderWake_.notify_one();
    if (take < frames && endOfStream_ && ahead_.empty() && !completeSent_) {
        completeSent_ = true;  // stays running, as a graph does after its stream ended
        events_.push_back(EC_COMPLETE);
        eventArrived_.notify_all();
    }
}

}  // namespace

namespace winapi::backend {

HRESULT CreateFilterGraph(REFIID riid, void** object) {
    CGraph* graph = new (std::nothrow) CGraph;
    if (graph == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = graph->QueryInterface(riid, object);
    graph->Release();
    return result;
}

}  // namespace winapi::backend
