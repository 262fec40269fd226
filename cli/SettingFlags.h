/// The libraries' messages as the tool prints them: each setting they
/// mention (shots/SettingNames.h, imagefiles/SettingNames.h) spelled as the
/// option that gives it, and the exit status of each kind of error.
#pragma once

#include <string>
#include <string_view>

#include "frames/Message.h"
#include "imagefiles/ImageFormat.h"

namespace quorvel::cli {

/// The option that gives `setting`, as a message spells it ("--track-block",
/// "--host ae"); a name the libraries were given (the option a value is read
/// for, a control) is spelled as the option of that name.
std::string FlagOf(std::string_view setting);

/// `message` with each setting spelled as its option.
std::string Spelled(const frames::Message& message);

/// Prints a note of the libraries on stderr, a line: "quorvel-host: " and
/// the note spelled.
void Say(const frames::Message& note);
/// Prints the notes of an input image's reading, if there is one.
void SayReadingNotes(const imagefiles::ImageFormat* format);

/// The exit status of a command that ends in an error of `kind`: 1 when the
/// module failed, 2 for bad input, a bad setting or an unwritten output.
int StatusOf(frames::ErrorKind kind);

}  // namespace quorvel::cli
