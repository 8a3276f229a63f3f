/* A small import plug-in for the tests: "LVXT", width, height (one byte each), then the rows
 * top-down as red, green, blue. It decodes only when told the file's exact length. */
#include <lumavex/spi.h>
#include <string.h>
#include <unistd.h>

int32_t GetPluginInfo(int32_t number, char* buffer, int32_t length)
{
#if defined(ARCHIVE)
    static const char* const info[] = {"00AM", "test archive"};
#elif defined(FILTER_WITHOUT_DESCRIPTION)
    static const char* const info[] = {"00IN", "test decoder", "*.lvxt;*.lvx"};
#else
    static const char* const info[] = {"00IN", "test decoder", "*.lvxt;*.lvx", "LVXT pictures"};
#endif
    if (number < 0 || number >= (int32_t)(sizeof info / sizeof *info) || length <= 0)
        return 0;
    strncpy(buffer, info[number], (size_t)length);
    return (int32_t)strlen(info[number]);
}

int32_t IsSupported(const char* fileName, const void* data)
{
    (void)fileName;
    const unsigned char* d = data;
    return memcmp(d, "LVXT", 4) == 0 && d[2047] == 0;
}

int32_t GetPictureInfo(const void* data, int32_t length, uint32_t flag, LvxPictureInfo* info)
{
    (void)flag;
    const unsigned char* d = data;
    if (length < 6)
        return 1;
    memset(info, 0, sizeof *info);
    info->width = d[4];
    info->height = d[5];
    info->colour_depth = 24;
    return 0;
}

#ifndef WITHOUT_GET_PICTURE
int32_t GetPicture(const void* data, int32_t length, uint32_t flag, LvxLocalHandle* bitmapInfo,
                   LvxLocalHandle* bitmapBits, LvxProgressProc progress, intptr_t context)
{
    (void)flag;
    const unsigned char* d = data;
    if (length < 6 || length != 6 + 3 * d[4] * d[5])
        return 1;
#ifdef CRASHES
    *(volatile int*)(intptr_t)flag = 0;
#endif
#ifdef HANGS
    for (;;)
        pause();
#endif
    int32_t w = d[4], h = d[5];
#ifdef WRONG_SIZES
    h *= 2; /* claims twice the rows it hands back */
#endif
    int32_t row = (w * 3 + 3) / 4 * 4;
    *bitmapInfo = lvx_local_alloc(40);
    *bitmapBits = lvx_local_alloc((size_t)(row * d[5]));
    unsigned char* bi = lvx_local_lock(*bitmapInfo);
    unsigned char* bits = lvx_local_lock(*bitmapBits);
    bi[0] = 40;
    memcpy(bi + 4, &w, 4);
    int32_t topDown = -h;
    memcpy(bi + 8, &topDown, 4);
    bi[12] = 1;
    bi[14] = 24;
    for (int32_t y = 0; y < d[5]; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const unsigned char* p = d + 6 + 3 * (y * w + x);
            bits[y * row + 3 * x] = p[2];
            bits[y * row + 3 * x + 1] = p[1];
            bits[y * row + 3 * x + 2] = p[0];
        }
    lvx_local_unlock(*bitmapInfo);
    lvx_local_unlock(*bitmapBits);
    /* One report a row; the program may ask to stop. */
    for (int32_t y = 0; y < d[5]; ++y)
        if (progress(y + 1, d[5], context)) {
            lvx_local_free(*bitmapInfo);
            lvx_local_free(*bitmapBits);
            *bitmapInfo = *bitmapBits = 0;
            return 1;
        }
    return 0;
}
#endif
