/// Messages of the tool's libraries for whoever reports them: text with
/// mentions of settings in it. A library names a setting by the field of
/// the settings record it reads it from ("track_block", "compression");
/// a caller that takes settings under names of its own (the tool's flags)
/// spells each mention so, and a library caller reads the plain text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::frames {

/// A setting as the library that reads it names it. Each library declares
/// the settings its messages mention as constants of this type.
struct Setting {
    std::string_view name;
};

/// What went wrong, for a caller that answers one kind otherwise than
/// another (the tool's exit status, the way to finish a shot).
enum class ErrorKind {
    input,    ///< input the library cannot use: a file, a value, keys
    setting,  ///< a setting that is bad, or contradicts another or the input
    module,   ///< the module failed a command or broke a host rule
    output,   ///< an output could not be written: mended, a rerun finishes the work
};

/// Plain text and mentions of settings, in order; composed with + as
/// strings are.
class Message {
public:
    Message() = default;
    Message(std::string text);  // NOLINT: a message is text first
    Message(const char* text);  // NOLINT
    Message(Setting setting);   // NOLINT

    Message& operator+=(const Message& more);

    /// The text with every setting by its own name.
    std::string Text() const;
    /// The text with every setting as `spell` names it.
    std::string Text(const std::function<std::string(std::string_view setting)>& spell) const;
    bool empty() const { return pieces_.empty(); }
    /// The message with each `from` in its plain text replaced by `to`.
    Message Replaced(std::string_view from, std::string_view to) const;
    /// The message with each piece of its plain text as `edit` makes it.
    Message WithText(const std::function<std::string(std::string_view text)>& edit) const;

private:
    struct Piece {
        std::string text;
        bool setting = false;  ///< `text` is a setting's name
    };
    std::vector<Piece> pieces_;
};

Message operator+(Message a, const Message& b);

/// A mention of a setting named at run time: the option a value is read for,
/// or one of the effect's controls, which the caller names.
inline Message Mention(std::string_view setting) { return Message(Setting{setting}); }

/// Where a library's notes go as they arise, a line each: what the user
/// should know besides errors.
using NoteSink = std::function<void(const Message& note)>;

}  // namespace quorvel::frames
