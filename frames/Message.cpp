#include "frames/Message.h"

#include <utility>

namespace quorvel::frames {

Message::Message(std::string text) {
    if (!text.empty()) pieces_.push_back(Piece{std::move(text), false});
}

Message::Message(const char* text) : Message(std::string(text)) {}

Message::Message(Setting setting) { pieces_.push_back(Piece{std::string(setting.name), true}); }

Message& Message::operator+=(const Message& more) {
    for (const Piece& piece : more.pieces_) {
        // Adjacent text is one piece: the message reads as it was written.
        if (!piece.setting && !pieces_.empty() && !pieces_.back().setting) {
            pieces_.back().text += piece.text;
        } else {
            pieces_.push_back(piece);
        }
    }
    return *this;
}

std::string Message::Text() const {
    std::string text;
    for (const Piece& piece : pieces_) text += piece.text;
    return text;
}

std::string Message::Text(const std::function<std::string(std::string_view setting)>& spell) const {
    std::string text;
    for (const Piece& piece : pieces_) text += piece.setting ? spell(piece.text) : piece.text;
    return text;
}

Message Message::Replaced(std::string_view from, std::string_view to) const {
    Message replaced = *this;
    if (from.empty()) return replaced;
    for (Piece& piece : replaced.pieces_) {
        if (piece.setting) continue;
        for (std::size_t at = piece.text.find(from); at != std::string::npos;
             at = piece.text.find(from, at + to.size())) {
            piece.text.replace(at, from.size(), to);
        }
    }
    return replaced;
}

Message Message::WithText(const std::function<std::string(std::string_view text)>& edit) const {
    Message edited = *this;
    for (Piece& piece : edited.pieces_) {
        if (!piece.setting) piece.text = edit(piece.text);
    }
    return edited;
}

Message operator+(Message a, const Message& b) { return a += b; }

}  // namespace quorvel::frames
