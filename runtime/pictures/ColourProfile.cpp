// Conversion to sRGB with Little CMS: RGB pictures carrying an ICC profile, and CMYK pixels.

#include "ColourProfile.h"

#include <lcms2.h>

#include <memory>

namespace rt {

namespace {

struct ProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
    void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformDeleter>;

Profile openProfile(const QByteArray& icc) {
    if (icc.isEmpty()) return nullptr;
    return Profile(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
}

// QImage's RGB32 keeps each pixel as 0xffRRGGBB in a 32-bit word.
constexpr cmsUInt32Number Rgb32 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;

} // namespace

bool convertRgbToSrgb(QImage& image, const QByteArray& icc) {
    const Profile source = openProfile(icc);
    if (!source || cmsGetColorSpace(source.get()) != cmsSigRgbData) return false;
    const Profile srgb(cmsCreate_sRGBProfile());
    const Transform t(cmsCreateTransform(source.get(), Rgb32, srgb.get(), Rgb32, INTENT_PERCEPTUAL,
                                         cmsFLAGS_COPY_ALPHA));
    if (!t) return false;
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        cmsDoTransform(t.get(), line, line, cmsUInt32Number(image.width()));
    }
    return true;
}

QImage cmykToSrgb(const uchar* cmyk, int width, int height, qsizetype stride, bool inverted,
                  const QByteArray& icc) {
    QImage out(width, height, QImage::Format_RGB32);
    if (out.isNull()) return out;
    const Profile source = openProfile(icc);
    Transform t;
    if (source && cmsGetColorSpace(source.get()) == cmsSigCmykData) {
        const Profile srgb(cmsCreate_sRGBProfile());
        t.reset(cmsCreateTransform(source.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8,
                                   srgb.get(), Rgb32, INTENT_PERCEPTUAL, 0));
    }
    for (int y = 0; y < height; ++y) {
        const uchar* in = cmyk + y * stride;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        if (t) {
            cmsDoTransform(t.get(), in, line, cmsUInt32Number(width));
            for (int x = 0; x < width; ++x)
                line[x] |= 0xFF000000u; // the transform leaves no alpha
            continue;
        }
        for (int x = 0; x < width; ++x, in += 4) {
            // Inverted (Adobe) data holds 255 - ink; plain data holds the ink.
            const int c = inverted ? in[0] : 255 - in[0];
            const int m = inverted ? in[1] : 255 - in[1];
            const int yy = inverted ? in[2] : 255 - in[2];
            const int k = inverted ? in[3] : 255 - in[3];
            line[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
        }
    }
    return out;
}

} // namespace rt
