#include "ui/plain_pictures.h"

#include "ui/knob_hit_areas.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <future>
#include <optional>
#include <system_error>

namespace kestrow {

namespace {

    constexpr unsigned char kSignature[8] = { 137, 'P', 'N', 'G', '\r', '\n', 26, '\n' };
    /// Bytes per pixel: red, green, blue.
    constexpr std::size_t kChannels = 3;
    constexpr std::size_t kRowBytes = 1 + kPictureWidth * kChannels; // filter type first
    constexpr std::size_t kInflatedBytes = kPictureHeight * kRowBytes;

    std::uint32_t bigEndian(const unsigned char* bytes)
    {
        return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16
            | std::uint32_t(bytes[2]) << 8 | std::uint32_t(bytes[3]);
    }

    /// The one header this reader takes: our size, 8-bit RGB, no interlace.
    bool isPictureHeader(std::span<const unsigned char> ihdr)
    {
        static constexpr unsigned char kRest[5] = { 8, 2, 0, 0, 0 };
        return ihdr.size() == 13 && bigEndian(ihdr.data()) == std::uint32_t(kPictureWidth)
            && bigEndian(ihdr.data() + 4) == std::uint32_t(kPictureHeight)
            && std::memcmp(ihdr.data() + 8, kRest, sizeof kRest) == 0;
    }

    int paeth(int left, int up, int upLeft)
    {
        const int estimate = left + up - upLeft;
        const int toLeft = std::abs(estimate - left);
        const int toUp = std::abs(estimate - up);
        const int toUpLeft = std::abs(estimate - upLeft);
        if (toLeft <= toUp && toLeft <= toUpLeft)
            return left;
        return toUp <= toUpLeft ? up : upLeft;
    }

    /// Undoes each row's filter in place; false on an unknown filter type.
    /// One loop per filter type: this runs on the way to the first paint.
    bool unfilter(unsigned char* rows)
    {
        constexpr std::size_t n = kRowBytes - 1;
        static constexpr unsigned char kNoRow[n] = {}; // above the first row
        const unsigned char* up = kNoRow;
        for (std::size_t y = 0; y < kPictureHeight; ++y) {
            unsigned char* row = rows + y * kRowBytes + 1;
            const auto add = [row](std::size_t i, int predicted) {
                row[i] = static_cast<unsigned char>(row[i] + predicted);
            };
            switch (row[-1]) {
            case 0:
                break;
            case 1:
                for (std::size_t i = kChannels; i < n; ++i)
                    add(i, row[i - kChannels]);
                break;
            case 2:
                for (std::size_t i = 0; i < n; ++i)
                    add(i, up[i]);
                break;
            case 3:
                for (std::size_t i = 0; i < kChannels; ++i)
                    add(i, up[i] / 2);
                for (std::size_t i = kChannels; i < n; ++i)
                    add(i, (row[i - kChannels] + up[i]) / 2);
                break;
            case 4:
                for (std::size_t i = 0; i < kChannels; ++i)
                    add(i, up[i]);
                for (std::size_t i = kChannels; i < n; ++i)
                    add(i, paeth(row[i - kChannels], up[i], up[i - kChannels]));
                break;
            default:
                return false;
            }
            up = row;
        }
        return true;
    }

} // namespace

QImage decodePlainPicturePng(std::span<const unsigned char> png)
{
    if (png.size() < sizeof kSignature || std::memcmp(png.data(), kSignature, sizeof kSignature))
        return {};
    // qUncompress takes the inflated size first, big-endian, then the zlib
    // stream that the IDAT chunks carry between them.
    QByteArray stream;
    stream.reserve(static_cast<qsizetype>(png.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.append(static_cast<char>((kInflatedBytes >> shift) & 0xff));
    bool haveHeader = false;
    for (std::size_t at = sizeof kSignature;;) {
        if (png.size() - at < 12)
            return {};
        const std::size_t length = bigEndian(png.data() + at);
        if (length > png.size() - at - 12)
            return {};
        const unsigned char* type = png.data() + at + 4;
        const auto data = png.subspan(at + 8, length);
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (haveHeader || !isPictureHeader(data))
                return {};
            haveHeader = true;
        } else if (!haveHeader) {
            return {};
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            stream.append(
                reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        } else if (!(type[0] & 0x20)) {
            return {}; // a critical chunk this reader does not know
        }
        at += 12 + length;
    }
    QByteArray rows = qUncompress(stream);
    if (static_cast<std::size_t>(rows.size()) != kInflatedBytes
        || !unfilter(reinterpret_cast<unsigned char*>(rows.data())))
        return {};
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    for (int y = 0; y < kPictureHeight; ++y) {
        const auto* in = reinterpret_cast<const unsigned char*>(rows.constData())
            + static_cast<std::size_t>(y) * kRowBytes + 1;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kPictureWidth; ++x, in += kChannels)
            out[x] = qRgb(in[0], in[1], in[2]);
    }
    return image;
}

namespace {

    struct PrefetchedPicture {
        DeviceVariant variant;
        std::future<QImage> image;
    };

    /// Only the interface thread reads or sets this.
    std::optional<PrefetchedPicture>& prefetched()
    {
        static std::optional<PrefetchedPicture> picture;
        return picture;
    }

} // namespace

QPixmap builtPlainPicture(DeviceVariant variant)
{
    const auto index = static_cast<std::size_t>(variant);
    if (index >= kPlainPicturePngs.size())
        return {};
    QImage image;
    auto& pending = prefetched();
    if (pending && pending->variant == variant)
        image = pending->image.get();
    pending.reset(); // one for another variant is of no more use
    if (image.isNull())
        image = decodePlainPicturePng(kPlainPicturePngs[index]);
    // A QPixmap belongs to the interface thread: made here, not in the prefetch.
    return QPixmap::fromImage(std::move(image));
}

void prefetchPlainPicture(DeviceVariant variant)
{
    const auto index = static_cast<std::size_t>(variant);
    auto& pending = prefetched();
    if (index >= kPlainPicturePngs.size() || pending)
        return;
    try {
        pending = PrefetchedPicture { variant,
            std::async(std::launch::async,
                [png = kPlainPicturePngs[index]] { return decodePlainPicturePng(png); }) };
    } catch (const std::system_error&) {
        // No thread to spare: the picture is decoded when it is painted.
    }
}

} // namespace kestrow
