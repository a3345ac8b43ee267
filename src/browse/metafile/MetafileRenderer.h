#pragma once

// The interface of the metafile renderer, a library of its own that the program loads only
// when a Windows metafile is opened, so that ImageMagick and its dependencies are not loaded
// with every start. Plain C, so that the program and the library need share no C++ types.

#include <cstddef>

extern "C" {

// What the renderer gives back: 32-bit RGBA pixels, row after row, or a message.
struct QuilloryMetafilePicture {
    unsigned char* pixels; // width * height * 4 bytes, freed with quillory_metafile_free
    int width;
    int height;
    char message[512]; // why there is no picture (UTF-8), empty on success
};

// Renders the metafile `bytes` when its drawing is at most `maxSide` pixels either way and its
// pixels take at most `maxBytes` (0: no limit). Returns 0 on success.
typedef int (*QuilloryMetafileRender)(const char* bytes, size_t size, size_t maxSide,
                                      long long maxBytes, QuilloryMetafilePicture* out);
typedef void (*QuilloryMetafileFree)(QuilloryMetafilePicture* picture);

#define QUILLORY_METAFILE_RENDER "quillory_metafile_render"
#define QUILLORY_METAFILE_FREE "quillory_metafile_free"
}
