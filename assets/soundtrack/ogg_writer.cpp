// Ogg Vorbis encoding with libvorbisenc, for the soundtrack generator and test data.
#include "assets/soundtrack/ogg_writer.h"
#include <cstdio>
#include <vorbis/vorbisenc.h>

namespace {

bool writePages(ogg_stream_state& stream, FILE* file, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) {
        if (fwrite(page.header, 1, page.header_len, file) != size_t(page.header_len) ||
            fwrite(page.body, 1, page.body_len, file) != size_t(page.body_len))
            return false;
    }
    return true;
}

} // namespace

bool writeOggVorbis(const char* path, const float* samples, size_t frames, int rate, float quality,
                    int serial, int channels) {
    FILE* file = fopen(path, "wb");
    if (!file)
        return false;
    vorbis_info info;
    vorbis_info_init(&info);
    bool ok = (channels == 1 || channels == 2) &&
              vorbis_encode_init_vbr(&info, channels, rate, quality) == 0;
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    if (ok) {
        vorbis_analysis_init(&dsp, &info);
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, serial);
        ogg_packet header, headerComment, headerCode;
        vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &headerComment);
        ogg_stream_packetin(&stream, &headerCode);
        ok = writePages(stream, file, true);

        const size_t chunk = 1024; // frames handed to the encoder at a time
        size_t done = 0;
        bool ended = false;
        while (ok && !ended) {
            size_t n = frames - done < chunk ? frames - done : chunk;
            if (n > 0) {
                float** buffer = vorbis_analysis_buffer(&dsp, int(n));
                for (size_t i = 0; i < n; ++i)
                    for (int c = 0; c < channels; ++c)
                        buffer[c][i] = samples[size_t(channels) * (done + i) + size_t(c)];
            }
            vorbis_analysis_wrote(&dsp, int(n)); // 0 frames marks the end of the stream
            done += n;
            while (ok && vorbis_analysis_blockout(&dsp, &block) == 1) {
                vorbis_analysis(&block, nullptr);
                vorbis_bitrate_addblock(&block);
                ogg_packet packet;
                while (ok && vorbis_bitrate_flushpacket(&dsp, &packet)) {
                    ogg_stream_packetin(&stream, &packet);
                    ok = writePages(stream, file, false);
                    if (packet.e_o_s)
                        ended = true;
                }
            }
            if (n == 0)
                ended = true;
        }
        ok = ok && writePages(stream, file, true);
        ogg_stream_clear(&stream);
        vorbis_block_clear(&block);
        vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    ok = (fclose(file) == 0) && ok;
    return ok;
}
