// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys/SystemKeyboardLayout.h"

#include <fstream>
#include <map>
#include <sstream>

namespace {

// Files read are small; a bigger one is not a layout setting.
constexpr std::streamsize kMaxFileSize = 64 * 1024;

std::optional<std::string> readSmallFile(const std::string& path)
{
    std::ifstream file(path);
    if (!file)
        return std::nullopt;
    std::string text(std::size_t(kMaxFileSize), '\0');
    file.read(text.data(), kMaxFileSize);
    text.resize(std::size_t(file.gcount()));
    return text;
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string unquoted(std::string text)
{
    text = trimmed(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

// The first of a comma-separated list ("de,us" is German first, US second).
std::string firstOfList(const std::string& list)
{
    return trimmed(list.substr(0, list.find(',')));
}

// NAME=value lines, as in /etc/default/keyboard and /etc/vconsole.conf.
std::map<std::string, std::string> shellAssignments(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        const auto equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos)
            continue;
        values[trimmed(line.substr(0, equals))] = unquoted(line.substr(equals + 1));
    }
    return values;
}

// Option "XkbLayout" "de" lines of an xorg.conf section.
std::map<std::string, std::string> xorgOptions(const std::string& text)
{
    std::map<std::string, std::string> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword != "Option")
            continue;
        std::string rest;
        std::getline(words, rest);
        // "Name" "value"
        const auto nameEnd = rest.find('"', rest.find('"') + 1);
        if (nameEnd == std::string::npos)
            continue;
        values[unquoted(rest.substr(0, nameEnd + 1))] = unquoted(rest.substr(nameEnd + 1));
    }
    return values;
}

std::optional<ConfiguredLayout> fromValues(const std::map<std::string, std::string>& values, const char* layoutKey,
                                           const char* variantKey, const char* modelKey, const char* optionsKey,
                                           const std::string& source)
{
    const auto value = [&values](const char* key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    ConfiguredLayout configured;
    configured.names.layout = firstOfList(value(layoutKey));
    if (configured.names.layout.empty())
        return std::nullopt;
    configured.names.variant = firstOfList(value(variantKey));
    configured.names.model = value(modelKey);
    configured.names.options = value(optionsKey);
    configured.source = source;
    return configured;
}

} // namespace

std::optional<ConfiguredLayout> configuredKeyboardLayout(const std::string& root)
{
    for (const char* file : {"/etc/default/keyboard", "/etc/vconsole.conf"}) {
        if (const auto text = readSmallFile(root + file)) {
            if (auto found = fromValues(shellAssignments(*text), "XKBLAYOUT", "XKBVARIANT", "XKBMODEL", "XKBOPTIONS",
                                        file))
                return found;
        }
    }
    const char* xorgFile = "/etc/X11/xorg.conf.d/00-keyboard.conf";
    if (const auto text = readSmallFile(root + xorgFile))
        return fromValues(xorgOptions(*text), "XkbLayout", "XkbVariant", "XkbModel", "XkbOptions", xorgFile);
    return std::nullopt;
}
