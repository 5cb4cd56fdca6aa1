#include "platform/video.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace vesk::platform {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// ---- the FFmpeg backend --------------------------------------------------------------------
class FfmpegVideoDecoder final : public IVideoDecoder {
public:
    ~FfmpegVideoDecoder() override { Close(); }

    bool Open(const std::string& path, std::string* error) override {
        Close();
        auto fail = [&](const std::string& why) {
            if (error) *error = why;
            Close();
            return false;
        };
        const std::string native = NativePath(path);
        int r = avformat_open_input(&format_, native.c_str(), nullptr, nullptr);
        if (r < 0) return fail("cannot open " + path + ": " + AvError(r));
        if ((r = avformat_find_stream_info(format_, nullptr)) < 0)
            return fail("no stream info: " + AvError(r));
        const AVCodec* codec = nullptr;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (stream_ < 0 || !codec) return fail("no video stream in " + path);
        codec_ = avcodec_alloc_context3(codec);
        if (!codec_) return fail("out of memory");
        AVStream* s = format_->streams[stream_];
        if (avcodec_parameters_to_context(codec_, s->codecpar) < 0) return fail("bad codec parameters");
        if ((r = avcodec_open2(codec_, codec, nullptr)) < 0) return fail("codec: " + AvError(r));
        if (codec_->width <= 0 || codec_->height <= 0 || codec_->width > 16384 || codec_->height > 16384)
            return fail("bad picture size");
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_) return fail("out of memory");
        timeBase_ = av_q2d(s->time_base);
        AVRational rate = av_guess_frame_rate(format_, s, nullptr);
        frameRate_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
        if (s->duration > 0)
            duration_ = double(s->duration) * timeBase_;
        else if (format_->duration > 0)
            duration_ = double(format_->duration) / AV_TIME_BASE;
        return true;
    }
    uint32_t Width() const override { return codec_ ? uint32_t(codec_->width) : 0; }
    uint32_t Height() const override { return codec_ ? uint32_t(codec_->height) : 0; }
    double Duration() const override { return duration_; }
    double FrameRate() const override { return frameRate_; }

    bool NextFrame(std::vector<uint8_t>& bgra, double* time) override {
        if (!codec_) return false;
        for (;;) {
            int r = avcodec_receive_frame(codec_, frame_);
            if (r == 0) return Convert(bgra, time);
            if (r == AVERROR_EOF) return false;
            if (r != AVERROR(EAGAIN)) return false;
            if (draining_) return false;
            r = av_read_frame(format_, packet_);
            if (r < 0) {
                draining_ = true;
                avcodec_send_packet(codec_, nullptr);
                continue;
            }
            if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
        }
    }

    bool SeekToStart() override {
        if (!codec_) return false;
        if (av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD) < 0) return false;
        avcodec_flush_buffers(codec_);
        draining_ = false;
        return true;
    }

private:
    bool Convert(std::vector<uint8_t>& bgra, double* time) {
        const int w = codec_->width, h = codec_->height;
        if (frame_->width != w || frame_->height != h) {
            av_frame_unref(frame_);
            return false;
        }
        sws_ = sws_getCachedContext(sws_, w, h, AVPixelFormat(frame_->format), w, h, AV_PIX_FMT_BGRA,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!sws_) {
            av_frame_unref(frame_);
            return false;
        }
        // The scaler may write past the last pixel of a row (its vector code
        // works in whole blocks): it gets a picture of FFmpeg's own making,
        // aligned and padded as it expects, and the rows are copied out.
        if (!picture_ || picture_->width != w || picture_->height != h) {
            av_frame_free(&picture_);
            picture_ = av_frame_alloc();
            if (!picture_) {
                av_frame_unref(frame_);
                return false;
            }
            picture_->format = AV_PIX_FMT_BGRA;
            picture_->width = w;
            picture_->height = h;
            if (av_frame_get_buffer(picture_, 0) < 0) {
                av_frame_free(&picture_);
                av_frame_unref(frame_);
                return false;
            }
        }
        sws_scale(sws_, frame_->data, frame_->linesize, 0, h, picture_->data, picture_->linesize);
        const size_t row = size_t(w) * 4;
        bgra.resize(row * size_t(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(bgra.data() + row * size_t(y),
                        picture_->data[0] + size_t(y) * size_t(picture_->linesize[0]), row);
        if (time) {
            const int64_t pts = frame_->best_effort_timestamp;
            *time = pts == AV_NOPTS_VALUE ? 0.0 : double(pts) * timeBase_;
        }
        av_frame_unref(frame_);
        return true;
    }

    void Close() {
        sws_freeContext(sws_);
        sws_ = nullptr;
        av_frame_free(&picture_);
        av_packet_free(&packet_);
        av_frame_free(&frame_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
        stream_ = -1;
        duration_ = frameRate_ = 0;
        draining_ = false;
    }

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    AVFrame* picture_ = nullptr; // the scaler's output, BGRA
    int stream_ = -1;
    double timeBase_ = 0, duration_ = 0, frameRate_ = 0;
    bool draining_ = false;
};

// ---- the null backend -----------------------------------------------------------------------
class NullVideoDecoder final : public IVideoDecoder {
public:
    explicit NullVideoDecoder(const NullVideoConfig& c) : config_(c) {}
    bool Open(const std::string& path, std::string* error) override {
        open_ = config_.openAnyName || FileExists(path);
        if (!open_ && error) *error = "cannot open " + path;
        next_ = 0;
        return open_;
    }
    uint32_t Width() const override { return open_ ? config_.width : 0; }
    uint32_t Height() const override { return open_ ? config_.height : 0; }
    double Duration() const override {
        return open_ && config_.frameRate > 0 ? config_.frames / config_.frameRate : 0.0;
    }
    double FrameRate() const override { return open_ ? config_.frameRate : 0.0; }
    bool NextFrame(std::vector<uint8_t>& bgra, double* time) override {
        if (!open_ || next_ >= config_.frames) return false;
        bgra.resize(size_t(config_.width) * config_.height * 4);
        const uint32_t c = config_.colour;
        for (size_t i = 0; i + 3 < bgra.size(); i += 4) {
            bgra[i] = uint8_t(c);
            bgra[i + 1] = uint8_t(c >> 8);
            bgra[i + 2] = uint8_t(c >> 16);
            bgra[i + 3] = uint8_t(c >> 24);
        }
        if (time) *time = config_.frameRate > 0 ? next_ / config_.frameRate : 0.0;
        ++next_;
        return true;
    }
    bool SeekToStart() override {
        next_ = 0;
        return open_;
    }

private:
    NullVideoConfig config_;
    bool open_ = false;
    uint32_t next_ = 0;
};

std::mutex factoryMutex;
VideoDecoderFactory& Factory() {
    static VideoDecoderFactory f;
    return f;
}

} // namespace

std::unique_ptr<IVideoDecoder> CreateNullVideoDecoder(const NullVideoConfig& config) {
    return std::make_unique<NullVideoDecoder>(config);
}

std::unique_ptr<IVideoDecoder> CreateVideoDecoder() {
    // The codecs' own chatter stays off the terminal; failures come back as results.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_ERROR); });
    VideoDecoderFactory f;
    {
        std::lock_guard lock(factoryMutex);
        f = Factory();
    }
    if (f) return f();
    return std::make_unique<FfmpegVideoDecoder>();
}

void SetVideoDecoderFactory(VideoDecoderFactory factory) {
    std::lock_guard lock(factoryMutex);
    Factory() = std::move(factory);
}

bool WriteVideoFile(const std::string& path, const std::string& codecName, uint32_t width, uint32_t height,
                    int frameRate, const std::vector<std::vector<uint8_t>>& framesBgra) {
    if (width == 0 || height == 0 || width > 4096 || height > 4096 || frameRate <= 0) return false;
    const size_t frameBytes = size_t(width) * height * 4;
    for (const auto& f : framesBgra)
        if (f.size() < frameBytes) return false;
    const AVCodec* codec = avcodec_find_encoder_by_name(codecName.c_str());
    if (!codec) return false;
    const std::string native = NativePath(path);
    AVFormatContext* out = nullptr;
    if (avformat_alloc_output_context2(&out, nullptr, "avi", native.c_str()) < 0 || !out) return false;
    AVCodecContext* enc = avcodec_alloc_context3(codec);
    AVStream* stream = avformat_new_stream(out, nullptr);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    SwsContext* sws = nullptr;
    bool ok = enc && stream && frame && packet;
    const AVPixelFormat pixFmt = codecName == "mjpeg" ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_BGR24;
    if (ok) {
        enc->width = int(width);
        enc->height = int(height);
        enc->time_base = AVRational{1, frameRate};
        enc->framerate = AVRational{frameRate, 1};
        enc->pix_fmt = pixFmt;
        if (codecName == "mjpeg") {
            enc->flags |= AV_CODEC_FLAG_QSCALE;
            enc->global_quality = FF_QP2LAMBDA * 2;
        }
        if (out->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        ok = avcodec_open2(enc, codec, nullptr) >= 0 &&
             avcodec_parameters_from_context(stream->codecpar, enc) >= 0;
    }
    if (ok) {
        stream->time_base = enc->time_base;
        ok = avio_open(&out->pb, native.c_str(), AVIO_FLAG_WRITE) >= 0;
    }
    ok = ok && avformat_write_header(out, nullptr) >= 0;
    if (ok) {
        frame->format = pixFmt;
        frame->width = int(width);
        frame->height = int(height);
        ok = av_frame_get_buffer(frame, 0) >= 0;
        sws = ok ? sws_getContext(int(width), int(height), AV_PIX_FMT_BGRA, int(width), int(height), pixFmt,
                                  SWS_POINT, nullptr, nullptr, nullptr)
                 : nullptr;
        ok = ok && sws;
    }
    auto drain = [&]() {
        while (avcodec_receive_packet(enc, packet) == 0) {
            av_packet_rescale_ts(packet, enc->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(out, packet) < 0) ok = false;
        }
    };
    for (size_t i = 0; ok && i < framesBgra.size(); ++i) {
        if (av_frame_make_writable(frame) < 0) {
            ok = false;
            break;
        }
        const uint8_t* src[4] = {framesBgra[i].data(), nullptr, nullptr, nullptr};
        const int pitch[4] = {int(width) * 4, 0, 0, 0};
        sws_scale(sws, src, pitch, 0, int(height), frame->data, frame->linesize);
        frame->pts = int64_t(i);
        ok = avcodec_send_frame(enc, frame) >= 0;
        drain();
    }
    if (ok) {
        avcodec_send_frame(enc, nullptr);
        drain();
        ok = av_write_trailer(out) >= 0;
    }
    sws_freeContext(sws);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&enc);
    if (out->pb) avio_closep(&out->pb);
    avformat_free_context(out);
    return ok;
}

} // namespace vesk::platform
