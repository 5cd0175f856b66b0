#include "orvtool/WalkScript.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "platform/core/System.h"

namespace {

struct KeyName {
    const char* name;
    int virtualKey;
};

const KeyName kKeys[] = {{"w", 'W'},          {"a", 'A'},           {"s", 'S'},        {"d", 'D'},
                         {"up", VK_UP},       {"down", VK_DOWN},    {"left", VK_LEFT}, {"right", VK_RIGHT},
                         {"space", VK_SPACE}, {"escape", VK_ESCAPE}};

bool ParseLong(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && errno != ERANGE && value >= low && value <= high;
}

bool ParseKeys(const std::string& text, std::vector<int>& keys) {
    if (text == "-") return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = text.find('+', start);
        const std::string name = text.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        bool known = false;
        for (const KeyName& key : kKeys)
            if (name == key.name) {
                keys.push_back(key.virtualKey);
                known = true;
            }
        if (!known) return false;
        if (plus == std::string::npos) return true;
        start = plus + 1;
    }
}

// KEYS[@DX,DY][*N]; false when the group is not of that form.
bool ParseGroup(const std::string& text, FrameGroup& group) {
    std::string rest = text;
    if (const std::size_t star = rest.find('*'); star != std::string::npos) {
        if (!ParseLong(rest.substr(star + 1), 1, LONG_MAX, group.frames)) return false;
        rest.erase(star);
    }
    if (const std::size_t at = rest.find('@'); at != std::string::npos) {
        const std::string motion = rest.substr(at + 1);
        const std::size_t comma = motion.find(',');
        long x = 0, y = 0;
        if (comma == std::string::npos || !ParseLong(motion.substr(0, comma), INT32_MIN, INT32_MAX, x) ||
            !ParseLong(motion.substr(comma + 1), INT32_MIN, INT32_MAX, y))
            return false;
        group.motionX = static_cast<LONG>(x);
        group.motionY = static_cast<LONG>(y);
        rest.erase(at);
    }
    return ParseKeys(rest, group.keys);
}

}  // namespace

bool ParseScript(const std::string& script, std::vector<FrameGroup>& groups, std::string& bad) {
    std::size_t start = 0;
    while ((start = script.find_first_not_of(" \t\n", start)) != std::string::npos) {
        const std::size_t end = script.find_first_of(" \t\n", start);
        const std::string text = script.substr(start, end == std::string::npos ? std::string::npos : end - start);
        FrameGroup group;
        if (!ParseGroup(text, group)) {
            bad = text;
            return false;
        }
        groups.push_back(group);
        start = end;
    }
    return true;
}
