// Linked only while the host build has no tolm_hostdecoder target: entries are
// then checked with zlib's inflate, until the installer's own decoder can be used.
#include "host_decoder.h"

#include <zlib.h>

int decodeRawDeflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return 3;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    uint8_t buffer[65536];
    int status;
    do {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
    } while (status == Z_OK);
    inflateEnd(&stream);
    return status == Z_STREAM_END ? 0 : 1;
}
