/* Lumavex image plug-ins: the functions a "*.spi" shared library exports, the packed picture
 * information record it fills, and the local memory handles it hands back to the program.
 *
 * The handles live in ordinary malloc blocks with a small header in front, so a block the
 * plug-in allocates is locked, read and freed by the program through these same inline
 * functions; the plug-in needs no library of ours to link against. */
#ifndef LUMAVEX_SPI_H
#define LUMAVEX_SPI_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A local memory handle; 0 is no block. */
typedef uintptr_t LvxLocalHandle;

/* Filled by GetPictureInfo: packed, little-endian, 26 bytes. */
#pragma pack(push, 1)
typedef struct LvxPictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colour_depth;
    /* A 32-bit handle of an information text. A 64-bit handle does not fit, so plug-ins leave
     * it 0 there; the program never follows it. */
    uint32_t info_text;
} LvxPictureInfo;
#pragma pack(pop)

/* Called by the plug-in while it decodes; a non-zero result asks it to stop. */
typedef int32_t (*LvxProgressProc)(int32_t numerator, int32_t denominator, intptr_t context);

/* The exported functions, by name, as the program calls them; 0 from the last three is success. */
typedef int32_t (*LvxGetPluginInfo)(int32_t number, char* buffer, int32_t buffer_length);
typedef int32_t (*LvxIsSupported)(const char* file_name, const void* data_2048);
typedef int32_t (*LvxGetPictureInfo)(const void* data, int32_t length, uint32_t flag,
                                     LvxPictureInfo* info);
typedef int32_t (*LvxGetPicture)(const void* data, int32_t length, uint32_t flag,
                                 LvxLocalHandle* bitmap_info, LvxLocalHandle* bitmap_bits,
                                 LvxProgressProc progress, intptr_t context);

#define LVX_LOCAL_MAGIC 0x4C76784DU /* marks a live block */

typedef struct LvxLocalBlock {
    uint32_t magic;
    uint32_t locks;
    size_t size;
} LvxLocalBlock;

/* A zero-filled block of size bytes, or 0 when memory runs out. */
static inline LvxLocalHandle lvx_local_alloc(size_t size)
{
    if (size > (size_t)-1 - sizeof(LvxLocalBlock))
        return 0;
    LvxLocalBlock* block = (LvxLocalBlock*)calloc(1, sizeof(LvxLocalBlock) + size);
    if (!block)
        return 0;
    block->magic = LVX_LOCAL_MAGIC;
    block->size = size;
    return (LvxLocalHandle)block;
}

static inline LvxLocalBlock* lvx_local_block(LvxLocalHandle handle)
{
    LvxLocalBlock* block = (LvxLocalBlock*)handle;
    return block && block->magic == LVX_LOCAL_MAGIC ? block : NULL;
}

/* The block's bytes, or NULL for a handle that is not a block. */
static inline void* lvx_local_lock(LvxLocalHandle handle)
{
    LvxLocalBlock* block = lvx_local_block(handle);
    if (!block)
        return NULL;
    ++block->locks;
    return block + 1;
}

static inline int lvx_local_unlock(LvxLocalHandle handle)
{
    LvxLocalBlock* block = lvx_local_block(handle);
    if (!block || block->locks == 0)
        return 0;
    --block->locks;
    return 1;
}

/* Bytes in the block, 0 for a handle that is not a block. */
static inline size_t lvx_local_size(LvxLocalHandle handle)
{
    LvxLocalBlock* block = lvx_local_block(handle);
    return block ? block->size : 0;
}

static inline void lvx_local_free(LvxLocalHandle handle)
{
    LvxLocalBlock* block = lvx_local_block(handle);
    if (!block)
        return;
    block->magic = 0;
    free(block);
}

#ifdef __cplusplus
}
#endif

#endif
