/// The simulated host's image files and drawn pictures, which need the image
/// and drawing libraries: together they bring some 250 shared objects and
/// a third of a second of start-up. They live in a library of their own,
/// quorvel-pictures, loaded the first time a command reads or writes an
/// image or draws a picture, so the commands that need neither start at once.
///
/// Both sides are built together from this header: the interface version
/// only guards against a library left over from another build.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frames/Drawing.h"
#include "frames/View.h"
#include "frames/World.h"
#include "imagefiles/ImageFormat.h"

namespace quorvel::imagefiles {

/// An image file opened for reading: its header is known, its pixels not
/// yet read, so the caller can check and allocate the frame first.
class ImageSource {
public:
    virtual ~ImageSource() = default;
    virtual const ImageFormat& format() const = 0;
    /// Decodes the pixels into `world` (the format's size, any layout):
    /// straight colour, divided by alpha where the file's is premultiplied.
    /// A file without alpha reads as opaque, a grey one as equal red, green
    /// and blue; 16-bit worlds take 0..65535 to 0..32768; pixels of the
    /// frame outside the data window are transparent black. The rendered
    /// part is kept as stored in the format, which grows notes on what the
    /// world's depth could not hold.
    virtual void ReadInto(frames::World& world) = 0;
};

/// The viewer window being drawn: the frame through the view over a
/// checkerboard, with strokes painted on top.
class WindowPainter : public frames::StrokeSink {
public:
    /// The window as an opaque 8-bit frame.
    virtual frames::World ToWorld() const = 0;
};

/// One thumbnail of a contact sheet and its label.
struct SheetCell {
    const frames::World* picture = nullptr;  ///< an opaque 8-bit frame
    int x = 0, y = 0;                        ///< its top left corner on the sheet
    std::string label;                       ///< drawn below it
    int label_x = 0, label_y = 0;            ///< the label's baseline
};

class PictureLibrary {
public:
    static constexpr int kInterfaceVersion = 4;

    virtual ~PictureLibrary() = default;

    /// Throws HostError when the file cannot be opened as an image, or has
    /// no layer to render as the request asks (see ImageLayout.h).
    virtual std::unique_ptr<ImageSource> OpenImage(const std::filesystem::path& path,
                                                   const ImageRequest& request) const = 0;
    /// Writes the world in the format the file name's extension names.
    /// With `like` (the input's format, read), an output of the input's
    /// format is the input with the rendered layer replaced: every part,
    /// channel, tile size, compression and attribute kept. One of another
    /// format holds the rendered layer with the input's channel names and
    /// data formats where it can. `options` override the rendered channels'
    /// format and the compression. Without `like`, the world's depth
    /// decides. Colour is premultiplied by the new alpha for formats that
    /// store it so, and matted over black for formats without alpha.
    /// With `stamp`, the file names its own making: the software, the
    /// time, a line of history after the input's, and the stamp's file
    /// name where the format records one. Returns what the file holds and
    /// what the user should know (a layer or window the format cannot
    /// hold). Throws HostError when it cannot write, naming the system's
    /// reason (a full disk, a folder without permission) when there is one.
    virtual WrittenImage WriteImage(const std::filesystem::path& path, const frames::World& world,
                                    const ImageFormat* like, const ImageWriteOptions& options,
                                    const ImageStamp* stamp) const = 0;
    /// Throws HostError unless an image format is known for the file name.
    virtual void CheckImageFormat(const std::filesystem::path& path) const = 0;
    /// Throws HostError unless the file name's format holds the data format.
    virtual void CheckChannelType(const std::filesystem::path& path, ChannelType type) const = 0;
    /// Throws HostError unless the compression is one the format writes.
    virtual void CheckCompression(const std::filesystem::path& path, const std::string& compression) const = 0;

    /// A `width` x `height` window showing `frame` through `view`.
    virtual std::unique_ptr<WindowPainter> NewWindow(const frames::World& frame, const frames::View& view, int width,
                                                     int height) const = 0;
    /// A `width` x `height` dark sheet with the cells' pictures and labels.
    virtual frames::World DrawSheet(int width, int height, const std::vector<SheetCell>& cells) const = 0;
};

/// The library, loaded on the first call from beside the program (or from
/// the build tree, for the tests). Throws HostError, naming the file, when
/// it cannot be loaded.
const PictureLibrary& Pictures();

}  // namespace quorvel::imagefiles

/// The one symbol the library exports: its implementation, or null when it
/// was built for another interface version.
extern "C" const quorvel::imagefiles::PictureLibrary* QuorvelPictureLibrary(int interface_version);
