#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "frames/HostError.h"
#include "imagefiles/ImageLayout.h"
#include "imagefiles/SettingNames.h"
#include "imagefiles/pictures/ImageCodec.h"
#include "imagefiles/pictures/OutputFile_pvt.h"
#include "imagefiles/pictures/OutputHeader_pvt.h"
#include "imagefiles/pictures/OutputParts_pvt.h"
#include "imagefiles/pictures/OutputPixels_pvt.h"
#include "imagefiles/pictures/Readers_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

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
        throw frames::HostError(
            setting::compression + " " + compression + ": " + format + " files are written with " + list,
            frames::ErrorKind::setting);
    }
    throw frames::HostError(setting::compression + " applies to " + formats + " files, not to " + path.string(),
                            frames::ErrorKind::setting);
}

void CheckChannelType(const std::filesystem::path& path, ChannelType type) {
    const std::unique_ptr<OIIO::ImageOutput> out = OutputFor(path);
    const WriterRules& rules = RulesOf(*out);
    if (std::find(rules.types.begin(), rules.types.end(), type) != rules.types.end()) return;
    std::string list;
    for (ChannelType t : rules.types) list += (list.empty() ? "" : ", ") + std::string(ChannelTypeName(t));
    throw frames::HostError(setting::channel_type + " " + std::string(ChannelTypeName(type)) + ": " +
                                std::string(rules.format) + " files hold " + list,
                            frames::ErrorKind::setting);
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
