#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include "frames/HostError.h"
#include "imagefiles/ImageLayout.h"
#include "imagefiles/pictures/Association_pvt.h"
#include "imagefiles/pictures/ImageCodec.h"
#include "imagefiles/pictures/Readers_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

/// Attributes that describe the pixels as they were, wrong once the matte
/// is on them, or a texture's levels, which the output no longer has.
void EraseStaleAttributes(OIIO::ImageSpec& header) {
    for (const char* name : {"oiio:SHA-1", "oiio:AverageColor", "oiio:ConstantColor", "oiio:subimages", "textureformat",
                             "openexr:levelmode", "openexr:roundingmode", "tiff:subfiletype"}) {
        header.erase_attribute(name);
    }
}

/// For a write that failed without a reason told: a file system without a
/// free block left is the likeliest, and the one a user can do something
/// about; 0 when there is space.
int FullDiskError(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    struct statvfs fs {};
    if (::statvfs(folder.c_str(), &fs) == 0 && fs.f_bfree == 0) return ENOSPC;
    return 0;
}

/// The same where the write is known to have failed.
int WriteError(const std::filesystem::path& path) {
    const int error = FullDiskError(path);
    return error != 0 ? error : EIO;
}

/// The output file, for the writers that take one from the caller: the
/// bytes go through stdio as with the library's own file, and the first
/// failure's system reason is kept. The writers' own messages leave it
/// out ("File output failed"), and some do not look at what a write returns.
class OutputFile final : public OIIO::Filesystem::IOFile {
public:
    /// Null, with the reason in `error`, when the file cannot be opened.
    static std::unique_ptr<OutputFile> Open(const std::filesystem::path& path, int& error) {
        errno = 0;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) {
            error = errno != 0 ? errno : EIO;
            return nullptr;
        }
        return std::unique_ptr<OutputFile>(new OutputFile(file));
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override {
        if (file_ != nullptr) std::fclose(file_);
    }

    /// Closed by Finish, which tells how that went; a writer closing its
    /// proxy would lose the reason.
    void close() override {}

    size_t write(const void* buf, size_t size) override {
        errno = 0;
        const size_t n = IOFile::write(buf, size);
        if (n < size) Note();
        return n;
    }
    size_t pwrite(const void* buf, size_t size, int64_t offset) override {
        errno = 0;
        const size_t n = IOFile::pwrite(buf, size, offset);
        if (n < size) Note();
        return n;
    }
    bool seek(int64_t offset) override {
        errno = 0;
        const bool ok = IOFile::seek(offset);
        if (!ok) Note();
        return ok;
    }

    /// Closes the file, whose buffered bytes may only now meet a full disk.
    /// Returns the first failure's errno, 0 when every byte was written.
    /// Some writers (JPEG) write to the stream itself, past this class:
    /// the stream's error flag tells of their failures, not their reason.
    int Finish(const std::filesystem::path& path) {
        if (file_ != nullptr) {
            errno = 0;
            if (std::fflush(file_) != 0) Note();
            if (std::ferror(file_) != 0 && error_ == 0) error_ = WriteError(path);
            struct stat st {};
            written_ = ::fstat(::fileno(file_), &st) == 0 && st.st_size > 0;
            errno = 0;
            if (std::fclose(file_) != 0) Note();
            file_ = nullptr;
        }
        return error_;
    }
    int error() const { return error_; }
    bool written() const { return written_; }

private:
    explicit OutputFile(std::FILE* file) : IOFile(file, Write), file_(file) {}
    void Note() {
        if (error_ == 0) error_ = errno != 0 ? errno : EIO;
    }
    std::FILE* file_;
    int error_ = 0;
    bool written_ = false;
};

std::string ReasonText(int error) { return std::generic_category().message(error); }

/// The file's own account of its making: the software and time of this
/// write, and its line after the input's history, where the format keeps
/// one (FITS as its HISTORY cards, most others as the Exif history).
void StampHeader(OIIO::ImageSpec& h, const std::string& file_format, const ImageStamp& stamp) {
    h.attribute("Software", stamp.software);
    h.attribute("DateTime", stamp.date_time);
    const char* key = file_format == "fits" ? "History" : "Exif:ImageHistory";
    const std::string earlier = h.get_string_attribute(key);
    h.attribute(key, earlier.empty() ? stamp.history : earlier + "\n" + stamp.history);
}

/// Puts `size` bytes at `offset` in a file, at its start made anew when
/// `offset` is negative. Returns the failure's errno, or 0.
int PutBytes(const std::filesystem::path& path, const void* bytes, std::size_t size, long offset = -1) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), offset < 0 ? "wb" : "r+b");
    if (file == nullptr) return errno != 0 ? errno : EIO;
    int error = 0;
    if ((offset >= 0 && std::fseek(file, offset, SEEK_SET) != 0) || std::fwrite(bytes, 1, size, file) != size ||
        std::fflush(file) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    return error;
}

/// Puts `bytes` at `offset` in a written file: for a field its writer
/// fills otherwise than the header says. Returns the failure's errno, or 0.
int PutField(const std::filesystem::path& path, long offset, const std::string& bytes) {
    return PutBytes(path, bytes.data(), bytes.size(), offset);
}

/// The RLA writer dates the file by the clock, whatever the header says:
/// its date field, 20 bytes at offset 528, takes the header's time in the
/// writer's own form ("Dec 31 07:30 2008").
int DateRlaFile(const std::filesystem::path& path, const std::string& date_time) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(date_time.c_str(), "%d:%d:%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second) != 6 ||
        month < 1 || month > 12) {
        return 0;
    }
    char field[20] = {};
    std::snprintf(field, sizeof field, "%s %02d %02d:%02d %04d", kMonths[month - 1], day, hour, minute, year);
    return PutField(path, 528, std::string(field, sizeof field));
}

/// Without a description the SGI writer leaves the header's image name,
/// 80 bytes at offset 24, as the memory held it: different bytes on every
/// run, and a name of noise for its reader. They are cleared.
int ClearSgiName(const std::filesystem::path& path) { return PutField(path, 24, std::string(80, '\0')); }

/// A rendered channel's place in an output pixel: which of red, green,
/// blue and alpha, or a stored channel written back as it is.
constexpr int kRendered[4] = {-1, -2, -3, -4};

struct OutputPart {
    OIIO::ImageSpec header;
    std::vector<int> sources;  ///< per output channel: a stored channel's index, or kRendered[c]
    PackedPixel pixel;
    Window window;  ///< the pixels written, in the input's coordinates
    /// The header's data window less `window`: a format without an origin
    /// puts the pixels at (0, 0).
    int shift_x = 0, shift_y = 0;
    bool premultiply = false;  ///< colour multiplied by alpha
    bool over_black = false;   ///< no alpha channel: colour matted over black
};

/// How the rendered colour is stored: straight, or multiplied by the new
/// alpha, keeping the stored colour where alpha did not change.
void FinishColour(const OutputPart& part, const StoredImage* stored, int x, int y, int n, float* rgba,
                  std::vector<float>& scratch) {
    if (!part.premultiply && !part.over_black) return;
    const bool keep = part.premultiply && stored != nullptr && stored->Kept() && stored->exact &&
                      stored->premultiplied && stored->Inside(y) && x >= stored->plan.data.x &&
                      x + n <= stored->plan.data.x + stored->plan.data.width;
    if (keep) {
        scratch.resize(std::size_t(n) * 4);
        StoredToFloat(*stored, x, y, n, scratch.data());
    }
    for (int i = 0; i < n; ++i) {
        float* p = rgba + 4 * i;
        const float a = p[3];
        if (a == 0.0f) {
            p[0] = p[1] = p[2] = 0.0f;
        } else if (keep && scratch[std::size_t(4 * i + 3)] == a) {
            for (int c = 0; c < 3; ++c) p[c] = scratch[std::size_t(4 * i + c)];
        } else {
            for (int c = 0; c < 3; ++c) p[c] *= a;
        }
    }
}

/// One output row of `part`: stored channels copied, rendered ones
/// converted from the world.
void AssembleRow(const frames::World& world, const Window& frame, const OutputPart& part, const StoredImage* stored,
                 int y, std::uint8_t* out, std::vector<float>& rgba, std::vector<float>& scratch) {
    const Window& w = part.window;
    const std::size_t bytes = part.pixel.bytes;
    std::memset(out, 0, std::size_t(w.width) * bytes);
    if (stored != nullptr && stored->Kept() && stored->Inside(y)) {
        const Window& data = stored->plan.data;
        const int x0 = std::max(w.x, data.x), x1 = std::min(w.x + w.width, data.x + data.width);
        if (x0 < x1) {
            std::uint8_t* dst = out + std::size_t(x0 - w.x) * bytes;
            const std::uint8_t* src = stored->At(x0, y);
            if (part.pixel == stored->pixel) {
                std::memcpy(dst, src, std::size_t(x1 - x0) * bytes);
            } else {
                for (std::size_t c = 0; c < part.sources.size(); ++c) {
                    const int s = part.sources[c];
                    if (s < 0) continue;
                    const OIIO::TypeDesc from = stored->pixel.types[std::size_t(s)], to = part.pixel.types[c];
                    for (int x = x0; x < x1; ++x) {
                        std::uint8_t* d = dst + std::size_t(x - x0) * bytes + part.pixel.offsets[c];
                        const std::uint8_t* v =
                            src + std::size_t(x - x0) * stored->pixel.bytes + stored->pixel.offsets[std::size_t(s)];
                        if (from == to) {
                            std::memcpy(d, v, to.size());
                        } else {
                            OIIO::convert_pixel_values(from, v, to, d);
                        }
                    }
                }
            }
        }
    }
    rgba.resize(std::size_t(w.width) * 4);
    WorldToFloat(world, y - frame.y, w.x - frame.x, w.width, rgba.data());
    FinishColour(part, stored, w.x, y, w.width, rgba.data(), scratch);
    for (std::size_t c = 0; c < part.sources.size(); ++c) {
        const int s = part.sources[c];
        if (s >= 0) continue;
        const int component = -s - 1;
        FromFloat(rgba.data() + component, 4, w.width, part.pixel.types[c], out + part.pixel.offsets[c], bytes);
    }
}

/// Writes the part's pixels, a band of rows (of whole tiles) at a time.
bool WritePixels(OIIO::ImageOutput& out, const frames::World& world, const Window& frame, const OutputPart& part,
                 const StoredImage* stored) {
    const Window& w = part.window;
    const std::size_t row_bytes = std::size_t(w.width) * part.pixel.bytes;
    const int tile = std::max(part.header.tile_height, 1);
    const int rows = std::max(tile, BandRows(row_bytes) / tile * tile);
    const frames::PixelBuffer band(row_bytes * std::size_t(rows));
    std::vector<float> rgba, scratch;
    // The pixels are in the file's own formats. The library takes channels
    // of mixed formats as "unknown" in contiguous memory only, and a tiled
    // TIFF's only by the format's name.
    const OIIO::TypeDesc type = out.spec().channelformats.empty() ? out.spec().format : OIIO::TypeUnknown;
    for (int top = w.y; top < w.y + w.height; top += rows) {
        const int bottom = std::min(top + rows, w.y + w.height);
        for (int y = top; y < bottom; ++y) {
            AssembleRow(world, frame, part, stored, y, band.data() + std::size_t(y - top) * row_bytes, rgba, scratch);
        }
        const int x = w.x + part.shift_x, y0 = top + part.shift_y, y1 = bottom + part.shift_y;
        const bool ok = part.header.tile_width > 0 ? out.write_tiles(x, x + w.width, y0, y1, 0, 1, type, band.data())
                                                   : out.write_scanlines(y0, y1, 0, type, band.data());
        if (!ok) return false;
    }
    return true;
}

/// Sets the header's channels to `types`, one format for all when they agree.
void SetChannelTypes(OIIO::ImageSpec& header, const std::vector<ChannelType>& types) {
    header.channelformats.clear();
    int bits = 0;
    for (ChannelType t : types) bits = std::max(bits, BitsOf(t));
    if (bits > 0) {
        header.attribute("oiio:BitsPerSample", bits);
    } else {
        header.erase_attribute("oiio:BitsPerSample");
    }
    const bool one =
        std::all_of(types.begin(), types.end(), [&](ChannelType t) { return DescOf(t) == DescOf(types[0]); });
    if (one) {
        header.set_format(DescOf(types[0]));
        return;
    }
    for (ChannelType t : types) header.channelformats.push_back(DescOf(t));
    header.format = DescOf(*std::max_element(types.begin(), types.end(), [](ChannelType a, ChannelType b) {
        return ChannelTypeBytes(a) < ChannelTypeBytes(b);
    }));
}

/// The rendered part written back in its own file format: every channel
/// it stored, the rendered ones from the world.
OutputPart SameFormatPart(const StoredImage& stored, const ImageFormat* like, const frames::World& world,
                          const Window& frame, const ImageWriteOptions& options) {
    const LayerPlan& plan = stored.plan;
    OutputPart part;
    part.header = stored.parts[std::size_t(plan.part)];
    OIIO::ImageSpec& h = part.header;
    const int bits = h.get_int_attribute("oiio:BitsPerSample", 0);
    std::vector<std::string> names;
    std::vector<ChannelType> types;
    int alpha = -1, z = -1;
    for (int c = 0; c < h.nchannels; ++c) {
        const int rendered = c == plan.red ? 0 : c == plan.green ? 1 : c == plan.blue ? 2 : c == plan.alpha ? 3 : -1;
        ChannelType type = TypeOf(h.channelformat(c), bits);
        if (rendered >= 0) {
            if (type == ChannelType::Other) type = WorldChannelType(world.layout());
            if (options.channel_type) type = *options.channel_type;
        }
        if (rendered == 3) alpha = int(names.size());
        if (c == h.z_channel) z = int(names.size());
        names.push_back(h.channel_name(c));
        types.push_back(type);
        part.sources.push_back(rendered >= 0 ? kRendered[rendered] : c);
        if (c == plan.blue && plan.alpha < 0 && plan.red != plan.green) {
            // A layer without alpha gains one beside its colour.
            alpha = int(names.size());
            names.push_back(plan.layer.empty() ? "A" : plan.layer + ".A");
            types.push_back(options.channel_type.value_or(type));
            part.sources.push_back(kRendered[3]);
        }
    }
    if (plan.alpha < 0 && plan.red == plan.green) {
        alpha = int(names.size());
        names.push_back("A");
        types.push_back(options.channel_type.value_or(types[std::size_t(plan.red)]));
        part.sources.push_back(kRendered[3]);
    }
    h.nchannels = int(names.size());
    h.channelnames = names;
    h.alpha_channel = alpha;
    h.z_channel = z;
    SetChannelTypes(h, types);
    // Overscan kept: the data window covers what was rendered.
    part.window = frame;
    h.x = frame.x, h.y = frame.y, h.width = frame.width, h.height = frame.height;
    part.premultiply = WritesPremultiplied(stored.file_format, like, true);
    MarkAssociation(h, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    return part;
}

/// The rendered layer alone, in a format other than the input's, or from
/// an input that was not an image file.
OutputPart LayerPart(const std::string& file_format, const OIIO::ImageOutput& out, const frames::World& world,
                     const Window& frame, const Window& display, const ImageFormat* like, const std::string& like_name,
                     const ImageWriteOptions& options, std::vector<std::string>& notes) {
    OutputPart part;
    OIIO::ImageSpec& h = part.header;
    if (like != nullptr && like->header) h = *static_cast<const OIIO::ImageSpec*>(like->header.get());
    // A data window beyond the display window needs a format that has both.
    part.window = out.supports("displaywindow") ? frame : display;
    h.x = part.window.x, h.y = part.window.y, h.width = part.window.width, h.height = part.window.height;
    h.full_x = display.x, h.full_y = display.y, h.full_width = display.width, h.full_height = display.height;
    if (!out.supports("origin")) {
        h.full_x -= h.x, h.full_y -= h.y;
        part.shift_x = -h.x, part.shift_y = -h.y;
        h.x = h.y = 0;
    }
    h.z = h.full_z = 0;
    h.depth = h.full_depth = 1;
    h.tile_width = h.tile_height = 0;
    h.tile_depth = 1;

    const WriterRules& rules = RulesOf(out);
    part.over_black = !rules.alpha;
    // Grey stays grey where the writer holds it.
    const bool grey_in = like != nullptr && like->grey;
    const bool grey = grey_in && (part.over_black ? rules.grey : rules.grey_alpha);
    if (grey_in && !grey) {
        notes.push_back(file_format + " files do not hold grey" + (part.over_black ? "" : " with alpha") +
                        ": the grey of " + like_name + " is written as red, green and blue");
    }
    std::vector<ChannelType> types(4, WorldChannelType(world.layout()));
    std::vector<std::string> names = {"R", "G", "B", "A"};
    if (like != nullptr && like->channel_names.size() == 4) {
        names = like->channel_names;
        types = like->channel_types;
    }
    if (options.channel_type) types.assign(4, *options.channel_type);
    for (ChannelType& t : types) {
        if (t == ChannelType::Other) t = WorldChannelType(world.layout());
        // The nearest the writer holds: EXR takes 8-bit values as half,
        // which gives them back exactly, and 16-bit ones as float; formats
        // of integers take real numbers as 16 bits where they have them.
        t = NearestHeldType(rules, t);
    }
    std::vector<int> rendered = {0, 1, 2, 3};
    if (grey) {
        rendered = {0, 3};
        names = {"Y", "A"};
        types = {types[0], types[3]};
    }
    if (part.over_black) rendered.pop_back();
    const int channels = int(rendered.size());
    names.resize(std::size_t(channels));
    types.resize(std::size_t(channels));
    h.nchannels = channels;
    h.channelnames = names;
    h.alpha_channel = part.over_black ? -1 : channels - 1;
    h.z_channel = -1;
    SetChannelTypes(h, types);
    // A compression is named in the terms of its own format.
    if (like == nullptr || like->file_format != file_format) h.erase_attribute("compression");
    part.premultiply = !part.over_black && WritesPremultiplied(file_format, like, false);
    MarkAssociation(h, part.premultiply);
    std::vector<OIIO::TypeDesc> descs;
    for (ChannelType t : types) descs.push_back(DescOf(t));
    part.pixel = PackedPixel(descs);
    for (int c : rendered) part.sources.push_back(kRendered[c]);
    return part;
}

/// The data formats the writer settled on, which may not be those asked
/// (a format without 16-bit integers takes them as float): the pixels are
/// handed over in its own.
void TakeWrittenFormats(const OIIO::ImageOutput& out, OutputPart& part) {
    const OIIO::ImageSpec& written = out.spec();
    if (std::size_t(written.nchannels) != part.sources.size()) {
        throw frames::HostError(std::string("cannot write the output: the ") + out.format_name() + " writer took " +
                                std::to_string(written.nchannels) + " channels of " +
                                std::to_string(part.sources.size()));
    }
    part.pixel = PackedPixel::Of(written);
    part.header.tile_width = written.tile_width;
    part.header.tile_height = written.tile_height;
}

/// Whether the writer holds `channels` channels, of which the last is alpha.
bool Holds(const WriterRules& rules, int channels) {
    switch (channels) {
        case 1:
            return rules.grey;
        case 2:
            return rules.grey_alpha;
        case 3:
            return rules.rgb;
        case 4:
            return rules.alpha;
        default:
            return rules.extra_channels;
    }
}

/// What of the input's header the writer keeps only when told, or cannot
/// keep: set so that it is kept, or taken out with a note, never lost
/// without a word nor written wrong.
void FitHeaderToWriter(OIIO::ImageSpec& h, const WriterRules& rules, const ImageFormat* like,
                       std::vector<std::string>& notes) {
    const std::string format = rules.format;
    if (format != "openexr" && !h.channelformats.empty()) {
        // Channels of several data formats: EXR alone writes them as they
        // are; TIFF refuses them and others write files their readers
        // garble or hang on. All take the widest, which holds every value.
        h.set_format(h.format);
        h.channelformats.clear();
    }
    const std::string of =
        like != nullptr && like->stored ? " of " + static_cast<const StoredImage*>(like->stored.get())->path : "";
    const int orientation = h.get_int_attribute("Orientation", 1);
    // The DPX writer swaps or scrambles every orientation but the first two.
    if (orientation != 1 && !(rules.orientation || (format == "dpx" && orientation == 2))) {
        h.erase_attribute("Orientation");
        notes.push_back(format + " files do not keep the orientation " + std::to_string(orientation) + of +
                        ": the pixels are written as stored, without it");
    }
    if (format != "tiff") return;
    if (h.get_string_attribute("tiff:ColorSpace") == "CMYK") {
        // The library reads the inks as RGB, which is what was rendered;
        // told CMYK, the writer would store red, green, blue and alpha as inks.
        h.erase_attribute("tiff:ColorSpace");
        h.erase_attribute("tiff:PhotometricInterpretation");
        notes.push_back("the CMYK inks" + of + " are written as RGB, the colour the image library reads them as");
    }
    bool half = false, all_bytes = true;
    for (int c = 0; c < h.nchannels; ++c) {
        half = half || h.channelformat(c) == OIIO::TypeDesc::HALF;
        all_bytes = all_bytes && h.channelformat(c) == OIIO::TypeDesc::UINT8;
    }
    // Without it the writer widens half to float.
    if (half) h.attribute("tiff:half", 1);
    const std::string compression = h.get_string_attribute("compression");
    if (compression.rfind("jpeg", 0) == 0 && !(all_bytes && h.nchannels == 3)) {
        // The writer would fall back to zip without a word.
        h.attribute("compression", "zip");
        notes.push_back("tiff files compress with jpeg three 8-bit channels only: the " + std::to_string(h.nchannels) +
                        " channels" + of + " are compressed with zip");
    }
}

std::string PartName(const OIIO::ImageSpec& header, std::size_t index) {
    const std::string name = header.get_string_attribute("name");
    return name.empty() ? "part " + std::to_string(index) : "part '" + name + "'";
}

/// One write of an output file: the writer, the file or memory it writes
/// to, and how each failure is told.
class Output {
public:
    Output(const std::filesystem::path& path, const ImageStamp* stamp)
        : path_(path), name_(path.string()), stamp_(stamp), out_(OutputFor(path)), format_(out_->format_name()) {}

    OIIO::ImageOutput& writer() { return *out_; }
    const std::string& format() const { return format_; }
    const ImageStamp* stamp() const { return stamp_; }

    /// Throws, with the system's reason, where a write failed for one,
    /// before the writer's words.
    [[noreturn]] void Fail(const std::string& why) const {
        int error = file_ ? file_->error() : 0;
        if (error == 0) error = FullDiskError(path_);
        throw frames::HostError(
            "cannot write " + name_ + ": " +
            (error != 0 ? ReasonText(error) + " (" + FirstLine(why, "?") + ")" : FirstLine(why, "?")));
    }

    /// The name the writer opens: a writer handed the file writes under
    /// the name given, and one that records it (DPX) records the target's,
    /// not the temporary file's. The EXR writer takes no file for a file of
    /// several parts, which it opens by name whatever it is handed.
    std::string OpenName(bool one_part) {
        if (!out_->supports("ioproxy") || !one_part) return name_;
        if (format_ == "jpeg") {
            // The JPEG library ends the process when a write to its file
            // fails: it writes to memory, and the bytes go to the file after.
            memory_ = std::make_unique<OIIO::Filesystem::IOVecOutput>();
            if (!out_->set_ioproxy(memory_.get())) Fail(out_->geterror());
            return stamp_ != nullptr && !stamp_->file_name.empty() ? stamp_->file_name : name_;
        }
        int error = 0;
        file_ = OutputFile::Open(path_, error);
        if (!file_) throw frames::HostError("cannot write " + name_ + ": " + ReasonText(error));
        if (!out_->set_ioproxy(file_.get())) Fail(out_->geterror());
        return stamp_ != nullptr && !stamp_->file_name.empty() ? stamp_->file_name : name_;
    }

    /// Every byte on the disk, or the reason why not.
    void Finish() {
        const bool unnamed_sgi = format_ == "sgi" && out_->spec().get_string_attribute("ImageDescription").empty();
        if (!out_->close()) Fail(out_->geterror());
        if (memory_) {
            const std::vector<unsigned char>& bytes = memory_->buffer();
            if (bytes.empty()) Fail("the " + format_ + " writer wrote nothing");
            if (const int error = PutBytes(path_, bytes.data(), bytes.size()); error != 0) {
                throw frames::HostError("cannot write " + name_ + ": " + ReasonText(error));
            }
        } else if (file_) {
            if (file_->Finish(path_) != 0) Fail("the file is incomplete");
            // Never a file left empty by a writer that wrote elsewhere.
            if (!file_->written()) Fail("the " + format_ + " writer wrote nothing to it");
        } else if (FullDiskError(path_) != 0) {
            // The writer may not have looked at what its writes returned.
            Fail("the file system is full");
        }
        int error = 0;
        if (stamp_ != nullptr && format_ == "rla") error = DateRlaFile(path_, stamp_->date_time);
        if (unnamed_sgi) error = ClearSgiName(path_);
        if (error != 0) throw frames::HostError("cannot write " + name_ + ": " + ReasonText(error));
    }

private:
    std::filesystem::path path_;
    std::string name_;
    const ImageStamp* stamp_;
    // Before the writer: it may still write on its way out.
    std::unique_ptr<OutputFile> file_;
    std::unique_ptr<OIIO::Filesystem::IOVecOutput> memory_;
    std::unique_ptr<OIIO::ImageOutput> out_;
    std::string format_;
};

/// What is written: the world, the frame in the file's coordinates (the
/// input's, or the world at the origin) and the input it is written like.
struct Source {
    const frames::World& world;
    Window frame;
    Window display;
    const ImageFormat* like;
    const StoredImage* stored;  ///< null when the input was not an image file
};

/// What the file holds of the rendered layer, as the writer settled it.
void Record(const OIIO::ImageSpec& settled, const OutputPart& part, WrittenImage& written) {
    const int bits =
        settled.get_int_attribute("oiio:BitsPerSample", part.header.get_int_attribute("oiio:BitsPerSample"));
    written.width = settled.width;
    written.height = settled.height;
    written.channel_types.clear();
    for (std::size_t c = 0; c < part.sources.size(); ++c) {
        if (part.sources[c] < 0) written.channel_types.push_back(TypeOf(settled.channelformat(int(c)), bits));
    }
}

/// What a format of one layer leaves out of the input, by name.
void NoteLeftOut(const StoredImage& stored, const std::string& file_format, std::vector<std::string>& notes) {
    const OIIO::ImageSpec& h = stored.parts[std::size_t(stored.plan.part)];
    const LayerPlan& plan = stored.plan;
    std::vector<std::string> left;
    for (int c = 0; c < h.nchannels; ++c) {
        if (c != plan.red && c != plan.green && c != plan.blue && c != plan.alpha) left.push_back(h.channel_name(c));
    }
    std::string list;
    for (std::size_t i = 0; i < left.size() && i < 8; ++i) list += (i ? ", " : "") + left[i];
    if (left.size() > 8) list += " and " + std::to_string(left.size() - 8) + " more";
    const std::size_t parts = stored.parts.size() - 1;
    if (!left.empty() || parts > 0) {
        std::string what = left.empty() ? "" : "the channels " + list;
        if (parts > 0) {
            what += (what.empty() ? "" : " and ") + std::to_string(parts) + " other part" + (parts > 1 ? "s" : "");
        }
        notes.push_back(file_format + " files hold one layer: " + what + " of " + stored.path + " are not written");
    }
}

/// Writes the rendered layer alone: in a format other than the input's,
/// from an input that was not an image file, or in a layout the writer
/// holds only so.
void WriteLayer(Output& output, const Source& source, const WriterRules& rules, const ImageWriteOptions& options,
                WrittenImage& written) {
    const std::string& file_format = output.format();
    std::vector<std::string>& notes = written.notes;
    const StoredImage* stored = source.stored;
    OutputPart part = LayerPart(file_format, output.writer(), source.world, source.frame, source.display, source.like,
                                stored ? stored->path : "", options, notes);
    if (part.over_black) {
        notes.push_back(file_format + " files hold no alpha: the colour is matted over black");
    }
    if (stored != nullptr) NoteLeftOut(*stored, file_format, notes);
    if (part.window != source.frame) {
        notes.push_back(file_format + " files have no data window: the pixels outside the display window " +
                        WindowText(source.display) + " are left out");
    }
    EraseStaleAttributes(part.header);
    if (output.stamp() != nullptr) StampHeader(part.header, file_format, *output.stamp());
    FitHeaderToWriter(part.header, rules, source.like, notes);
    OIIO::ImageOutput& out = output.writer();
    if (!out.open(output.OpenName(true), part.header)) output.Fail(out.geterror());
    TakeWrittenFormats(out, part);
    Record(out.spec(), part, written);
    if (!WritePixels(out, source.world, source.frame, part, stored)) output.Fail(out.geterror());
}

/// The headers of every part of the input, the rendered one's in its place,
/// each stamped: the whole file is written anew, every part of it by this
/// write.
std::vector<OIIO::ImageSpec> PartHeaders(Output& output, const OutputPart& rendered, const StoredImage& stored,
                                         std::vector<std::string>& notes) {
    std::vector<OIIO::ImageSpec> headers = stored.parts;
    const std::size_t chosen = std::size_t(stored.plan.part);
    headers[chosen] = rendered.header;
    if (headers.size() > 1) {
        if (!output.writer().supports("multiimage")) output.Fail(output.format() + " files hold one image");
        // The image library writes a file's parts all tiled or all in
        // scanlines, as its first part is; the rendered part decides.
        const int tw = rendered.header.tile_width, th = rendered.header.tile_height;
        bool changed = false;
        for (std::size_t p = 0; p < headers.size(); ++p) {
            if (p == chosen || (headers[p].tile_width > 0) == (tw > 0)) continue;
            headers[p].tile_width = tw, headers[p].tile_height = th, headers[p].tile_depth = tw > 0 ? 1 : 0;
            changed = true;
        }
        if (changed) {
            notes.push_back(std::string("the parts are all written ") + (tw > 0 ? "tiled" : "in scanlines") +
                            " as the rendered one is: the image library writes one kind per file");
        }
        for (std::size_t p = 0; p < headers.size(); ++p) {
            if (p != chosen) EraseStaleAttributes(headers[p]);
        }
    }
    if (output.stamp() != nullptr) {
        for (OIIO::ImageSpec& h : headers) StampHeader(h, output.format(), *output.stamp());
    }
    return headers;
}

/// Writes the file in the input's own format: every part of the input, the
/// rendered one from the world, the others as stored.
void WriteEveryPart(Output& output, OutputPart& rendered, const Source& source, const WriterRules& rules,
                    const ImageWriteOptions& options, WrittenImage& written) {
    const StoredImage& stored = *source.stored;
    if (options.compression) rendered.header.attribute("compression", *options.compression);
    EraseStaleAttributes(rendered.header);
    FitHeaderToWriter(rendered.header, rules, source.like, written.notes);
    const std::vector<OIIO::ImageSpec> headers = PartHeaders(output, rendered, stored, written.notes);
    const std::size_t chosen = std::size_t(stored.plan.part);
    OIIO::ImageSpec hints;
    hints.attribute("oiio:UnassociatedAlpha", 1);
    std::unique_ptr<OIIO::ImageInput> in;
    if (headers.size() > 1) {
        in = OpenReader(stored.path, hints);
    }
    OIIO::ImageOutput& out = output.writer();
    const std::string opened_as = output.OpenName(headers.size() == 1);
    for (std::size_t p = 0; p < headers.size(); ++p) {
        const bool opened = p == 0 ? out.open(opened_as, int(headers.size()), headers.data())
                                   : out.open(opened_as, headers[p], OIIO::ImageOutput::AppendSubimage);
        if (!opened) output.Fail(out.geterror());
        if (p == chosen) {
            TakeWrittenFormats(out, rendered);
            Record(out.spec(), rendered, written);
            if (!WritePixels(out, source.world, source.frame, rendered, &stored)) output.Fail(out.geterror());
            continue;
        }
        // Another part, as stored, one at a time.
        const OIIO::ImageSpec& h = stored.parts[p];
        const frames::PixelBuffer pixels(h.image_bytes(true));
        CheckRead(
            *in, [&] { return in->read_image(int(p), 0, 0, h.nchannels, OIIO::TypeUnknown, pixels.data()); },
            PartName(h, p) + " of " + stored.path);
        if (!out.write_image(OIIO::TypeUnknown, pixels.data())) output.Fail(out.geterror());
    }
}

}  // namespace

void CheckImageFormat(const std::filesystem::path& path) { (void)OutputFor(path); }

void CheckCompression(const std::filesystem::path& path, const std::string& compression) {
    const std::string format = OutputFor(path)->format_name();
    const std::string name = compression.substr(0, compression.find(':'));
    std::string formats;
    for (const Compressions& c : KnownCompressions()) {
        formats += (formats.empty() ? "" : ", ") + std::string(c.format);
        if (c.format != format) continue;
        if (std::find(c.names.begin(), c.names.end(), name) != c.names.end()) return;
        std::string list;
        for (const std::string& n : c.names) list += (list.empty() ? "" : ", ") + n;
        throw frames::HostError("--compression " + compression + ": " + format + " files are written with " + list);
    }
    throw frames::HostError("--compression applies to " + formats + " files, not to " + path.string());
}

void CheckChannelType(const std::filesystem::path& path, ChannelType type) {
    const std::unique_ptr<OIIO::ImageOutput> out = OutputFor(path);
    const WriterRules& rules = RulesOf(*out);
    if (std::find(rules.types.begin(), rules.types.end(), type) != rules.types.end()) return;
    std::string list;
    for (ChannelType t : rules.types) list += (list.empty() ? "" : ", ") + std::string(ChannelTypeName(t));
    throw frames::HostError("--out-format " + std::string(ChannelTypeName(type)) + ": " + std::string(rules.format) +
                            " files hold " + list);
}

WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world, const ImageFormat* like,
                        const ImageWriteOptions& options, const ImageStamp* stamp) {
    Output output(path, stamp);
    const std::string& file_format = output.format();
    const StoredImage* stored =
        like != nullptr && like->stored ? static_cast<const StoredImage*>(like->stored.get()) : nullptr;
    Source source{world, {0, 0, world.width(), world.height()}, {0, 0, world.width(), world.height()}, like, stored};
    if (stored != nullptr) {
        source.frame = stored->plan.frame;
        source.display = stored->plan.display;
    }
    const Window& frame = source.frame;
    WrittenImage written;
    const WriterRules& rules = RulesOf(output.writer());
    if (std::min(frame.width, frame.height) < rules.least_side) {
        output.Fail(file_format + " files of less than " + std::to_string(rules.least_side) +
                    " pixels a side cannot be read back: the frame is " + std::to_string(frame.width) + "x" +
                    std::to_string(frame.height));
    }
    std::optional<OutputPart> same;
    if (stored != nullptr && stored->file_format == file_format && rules.alpha) {
        same = SameFormatPart(*stored, like, world, frame, options);
        // A layout the writer does not hold goes as the layer alone.
        if (!Holds(rules, same->header.nchannels)) same.reset();
    }
    if (same) {
        WriteEveryPart(output, *same, source, rules, options, written);
    } else {
        WriteLayer(output, source, rules, options, written);
    }
    output.Finish();
    return written;
}

}  // namespace quorvel::imagefiles::pictures
