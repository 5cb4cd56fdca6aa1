#include "audio.h"

#include "noise.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vesk::contentgen {

namespace {

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

void AppendPage(std::string& out, const ogg_page& page) {
    out.append(reinterpret_cast<const char*>(page.header), static_cast<size_t>(page.header_len));
    out.append(reinterpret_cast<const char*>(page.body), static_cast<size_t>(page.body_len));
}

} // namespace

std::string EncodeWave(const Pcm& pcm, int bits) {
    const uint32_t bytesPerSample = bits == 8 ? 1 : 2;
    const uint32_t block = bytesPerSample * static_cast<uint32_t>(pcm.channels);
    const auto dataSize = static_cast<uint32_t>(pcm.samples.size() * bytesPerSample);
    std::string s = "RIFF";
    Put32(s, 36 + dataSize);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1); // PCM
    Put16(s, static_cast<uint32_t>(pcm.channels));
    Put32(s, static_cast<uint32_t>(pcm.rate));
    Put32(s, static_cast<uint32_t>(pcm.rate) * block);
    Put16(s, block);
    Put16(s, static_cast<uint32_t>(bits == 8 ? 8 : 16));
    s += "data";
    Put32(s, dataSize);
    for (float x : pcm.samples) {
        const float c = std::clamp(x, -1.0f, 1.0f);
        if (bits == 8)
            s += static_cast<char>(static_cast<uint8_t>(std::lround(c * 127.0f) + 128));
        else
            Put16(s, static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0f))));
    }
    return s;
}

std::string EncodeOgg(const Pcm& pcm, float quality) {
    std::string out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, pcm.channels, pcm.rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "vesk contentgen");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, kOggSerial);
    ogg_page page;
    ogg_packet packet;
    {
        ogg_packet header, comments, codebooks;
        vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
        ogg_stream_packetin(&os, &header);
        ogg_stream_packetin(&os, &comments);
        ogg_stream_packetin(&os, &codebooks);
        // The audio starts on a page of its own.
        while (ogg_stream_flush(&os, &page) != 0) AppendPage(out, page);
    }
    const size_t frames = pcm.Frames();
    const size_t chunk = 4096;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min(chunk, frames - done);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0); // end of stream
        } else {
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < pcm.channels; ++c)
                    buffer[c][i] =
                        pcm.samples[(done + i) * static_cast<size_t>(pcm.channels) + static_cast<size_t>(c)];
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &packet) != 0) {
                ogg_stream_packetin(&os, &packet);
                while (!eos && ogg_stream_pageout(&os, &page) != 0) {
                    AppendPage(out, page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (n == 0 && !eos) {
            // Whatever the encoder still holds goes out on a last page.
            while (ogg_stream_flush(&os, &page) != 0) AppendPage(out, page);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

Pcm Silence(int rate, int channels, float seconds) {
    Pcm p;
    p.rate = rate;
    p.channels = channels;
    p.samples.assign(static_cast<size_t>(seconds * static_cast<float>(rate)) * static_cast<size_t>(channels),
                     0.0f);
    return p;
}

float NoiseSample(uint32_t seed, size_t i) {
    return Unit(Hash(static_cast<uint32_t>(i) * 0x9E3779B1u ^ seed)) * 2 - 1;
}

void LowPass(std::vector<float>& samples, float cutoff, int rate) {
    const float k = 1 - std::exp(-6.2831853f * cutoff / static_cast<float>(rate));
    float y = 0;
    for (float& x : samples) {
        y += (x - y) * k;
        x = y;
    }
}

void Normalize(std::vector<float>& samples, float peak) {
    float m = 0;
    for (float x : samples) m = std::max(m, std::fabs(x));
    if (m > 0)
        for (float& x : samples) x *= peak / m;
}

} // namespace vesk::contentgen
