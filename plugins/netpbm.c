/* The sample import plug-in: binary Netpbm pictures, P4 (bitmap), P5 (grey) and P6 (colour),
 * 8 bits a sample. */
#include <lumavex/spi.h>
#include <string.h>

#define MAX_SIDE 65535

int32_t GetPluginInfo(int32_t number, char* buffer, int32_t length)
{
    static const char* const info[] = {"00IN", "Netpbm (Lumavex sample plug-in)",
                                       "*.ppm;*.pgm;*.pbm;*.pnm", "Netpbm pictures"};
    if (number < 0 || number >= (int32_t)(sizeof info / sizeof *info) || length <= 0)
        return 0;
    strncpy(buffer, info[number], (size_t)length);
    buffer[length - 1] = 0;
    return (int32_t)strlen(buffer);
}

int32_t IsSupported(const char* fileName, const void* data)
{
    (void)fileName;
    const unsigned char* d = data;
    return d[0] == 'P' && d[1] >= '4' && d[1] <= '6' &&
           (d[2] == ' ' || d[2] == '\t' || d[2] == '\n' || d[2] == '\r');
}

typedef struct Header {
    int kind, width, height, maxval;
    int32_t offset;
} Header;

static int readNumber(const unsigned char* d, int32_t length, int32_t* at, int* value)
{
    for (;;) {
        while (*at < length && strchr(" \t\r\n", d[*at]) && d[*at])
            ++*at;
        if (*at < length && d[*at] == '#') {
            while (*at < length && d[*at] != '\n')
                ++*at;
            continue;
        }
        break;
    }
    if (*at >= length || d[*at] < '0' || d[*at] > '9')
        return 0;
    long v = 0;
    while (*at < length && d[*at] >= '0' && d[*at] <= '9') {
        v = v * 10 + (d[*at] - '0');
        if (v > MAX_SIDE)
            return 0;
        ++*at;
    }
    *value = (int)v;
    return 1;
}

static int readHeader(const unsigned char* d, int32_t length, Header* h)
{
    if (length < 3 || d[0] != 'P' || d[1] < '4' || d[1] > '6')
        return 0;
    h->kind = d[1] - '0';
    int32_t at = 2;
    h->maxval = 1;
    if (!readNumber(d, length, &at, &h->width) || !readNumber(d, length, &at, &h->height) ||
        (h->kind != 4 && !readNumber(d, length, &at, &h->maxval)))
        return 0;
    if (h->width <= 0 || h->height <= 0 || h->maxval <= 0 || h->maxval > 255 || at >= length)
        return 0;
    h->offset = at + 1; /* one whitespace byte ends the header */
    int64_t row = h->kind == 4 ? (h->width + 7) / 8 : (int64_t)h->width * (h->kind == 6 ? 3 : 1);
    return (int64_t)h->offset + row * h->height <= length;
}

int32_t GetPictureInfo(const void* data, int32_t length, uint32_t flag, LvxPictureInfo* info)
{
    (void)flag;
    Header h;
    if (!readHeader(data, length, &h))
        return 2;
    memset(info, 0, sizeof *info);
    info->width = h.width;
    info->height = h.height;
    info->colour_depth = 24;
    return 0;
}

int32_t GetPicture(const void* data, int32_t length, uint32_t flag, LvxLocalHandle* bitmapInfo,
                   LvxLocalHandle* bitmapBits, LvxProgressProc progress, intptr_t context)
{
    (void)flag;
    const unsigned char* d = data;
    Header h;
    if (!readHeader(d, length, &h))
        return 2;
    int64_t row = ((int64_t)h.width * 3 + 3) / 4 * 4;
    *bitmapInfo = lvx_local_alloc(40);
    *bitmapBits = lvx_local_alloc((size_t)(row * h.height));
    unsigned char* bi = lvx_local_lock(*bitmapInfo);
    unsigned char* bits = lvx_local_lock(*bitmapBits);
    if (!bi || !bits) {
        lvx_local_free(*bitmapInfo);
        lvx_local_free(*bitmapBits);
        *bitmapInfo = *bitmapBits = 0;
        return 4;
    }
    int32_t width = h.width, topDown = -h.height;
    bi[0] = 40;
    memcpy(bi + 4, &width, 4);
    memcpy(bi + 8, &topDown, 4);
    bi[12] = 1;
    bi[14] = 24;
    const unsigned char* p = d + h.offset;
    for (int y = 0; y < h.height; ++y) {
        unsigned char* out = bits + y * row;
        for (int x = 0; x < h.width; ++x) {
            int r, g, b;
            if (h.kind == 4) {
                int black = p[x / 8] >> (7 - x % 8) & 1;
                r = g = b = black ? 0 : 255;
            } else if (h.kind == 5) {
                r = g = b = p[x] * 255 / h.maxval;
            } else {
                r = p[3 * x] * 255 / h.maxval;
                g = p[3 * x + 1] * 255 / h.maxval;
                b = p[3 * x + 2] * 255 / h.maxval;
            }
            out[3 * x] = (unsigned char)b;
            out[3 * x + 1] = (unsigned char)g;
            out[3 * x + 2] = (unsigned char)r;
        }
        p += h.kind == 4 ? (h.width + 7) / 8 : h.width * (h.kind == 6 ? 3 : 1);
        if (progress(y + 1, h.height, context))
            break;
    }
    lvx_local_unlock(*bitmapInfo);
    lvx_local_unlock(*bitmapBits);
    return 0;
}
