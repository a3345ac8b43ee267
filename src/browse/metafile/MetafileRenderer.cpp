// The metafile renderer: Windows metafiles are drawings, not pixels; ImageMagick renders them
// through libwmf. ImageMagick is told the format, so it never guesses a coder for what it is
// given.

#include "MetafileRenderer.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <Magick++.h>
#include <mutex>

namespace {

int fail(QuilloryMetafilePicture* out, const char* message) {
    std::strncpy(out->message, message, sizeof out->message - 1);
    out->message[sizeof out->message - 1] = '\0';
    return 1;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
quillory_metafile_render(const char* bytes, size_t size, size_t maxSide, long long maxBytes,
                         QuilloryMetafilePicture* out) {
    *out = QuilloryMetafilePicture{};
    static std::once_flag once;
    try {
        std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
        const Magick::Blob blob(bytes, size);
        Magick::Image probe;
        probe.quiet(true);
        probe.magick("WMF");
        probe.ping(blob);
        const size_t width = probe.columns();
        const size_t height = probe.rows();
        if (width == 0 || height == 0)
            return fail(out, "The metafile draws nothing.");
        if (width > maxSide || height > maxSide ||
            (maxBytes > 0 && double(width) * double(height) * 4 > double(maxBytes)))
            return fail(out, "The picture is too large.");

        Magick::Image picture;
        picture.quiet(true);
        picture.magick("WMF");
        picture.read(blob);
        Magick::Blob pixels;
        picture.write(&pixels, "RGBA", 8);
        const size_t w = picture.columns();
        const size_t h = picture.rows();
        const size_t total = w * h * 4;
        if (w == 0 || h == 0 || w > maxSide || h > maxSide || pixels.length() < total)
            return fail(out, "The metafile could not be drawn.");
        out->pixels = static_cast<unsigned char*>(std::malloc(total));
        if (!out->pixels)
            return fail(out, "The picture is too large.");
        std::memcpy(out->pixels, pixels.data(), total);
        out->width = int(w);
        out->height = int(h);
        return 0;
    } catch (const std::exception& error) {
        return fail(out, error.what());
    }
}

extern "C" __attribute__((visibility("default"))) void
quillory_metafile_free(QuilloryMetafilePicture* picture) {
    std::free(picture->pixels);
    picture->pixels = nullptr;
}
