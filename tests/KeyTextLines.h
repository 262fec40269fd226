// Keyframe text for tests, written line by line as the hosts and trackers do.
#pragma once

#include <string>
#include <vector>

namespace quorvel::test {

inline const std::string kKeyTextTitle = "Adobe After Effects 8.0 Keyframe Data";
inline const std::string kKeyTextEnd = "End of Keyframe Data";

/// Joins lines with `eol` after each, as a file holds them.
inline std::string Lines(const std::vector<std::string>& lines, const std::string& eol = "\n") {
    std::string text;
    for (const std::string& line : lines) text += line + eol;
    return text;
}

/// The title, a blank line, the header the host writes for a layer of
/// 1920x1080 square pixels at `fps`, and a blank line.
inline std::vector<std::string> KeyTextHead(const std::string& fps = "24") {
    return {kKeyTextTitle,
            "",
            "\tUnits Per Second\t" + fps,
            "\tSource Width\t1920",
            "\tSource Height\t1080",
            "\tSource Pixel Aspect Ratio\t1",
            "\tComp Pixel Aspect Ratio\t1",
            ""};
}

/// `head`, then `rest`.
inline std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& rest) {
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

}  // namespace quorvel::test
