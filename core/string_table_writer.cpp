#include "core/string_table_writer.h"

#include "core/file_layer.h"
#include "core/name_hash.h"
#include "core/string_table_format.h"
#include "platform/os/os.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

std::string at(const char* name, u32 line, const std::string& message) {
    return std::string(name) + ":" + std::to_string(line) + ": " + message;
}

bool validKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key)
        if (c <= ' ' || c > '~') return false;
    return true;
}

// Undoes the escapes of the raw text; false with a reason on a bad one.
bool unescape(const std::string& raw, std::string* out, std::string* reason) {
    out->clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            out->push_back(raw[i]);
            continue;
        }
        if (i + 1 == raw.size()) {
            *reason = "backslash at the end of the line (write \\\\ for a backslash)";
            return false;
        }
        const char next = raw[++i];
        if (next == 'n')
            out->push_back('\n');
        else if (next == 't')
            out->push_back('\t');
        else if (next == '\\')
            out->push_back('\\');
        else {
            *reason = std::string("unknown escape \\") + next;
            return false;
        }
    }
    return true;
}

void warnOnPlaceholders(const char* name, u32 line, const std::u16string& text, std::vector<std::string>* warnings) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') continue;
        const char16_t next = i + 1 < text.size() ? text[i + 1] : 0;
        if (next == u'd' || next == u's') {
            ++i;
            continue;
        }
        std::string shown = "%";
        if (next >= 0x20 && next < 0x7F) shown.push_back(char(next));
        warnings->push_back(at(name, line, "placeholder \"" + shown +
                                               "\" is copied as it stands; only %d and %s are replaced"));
    }
}

bool readWholeFile(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool writeWholeFile(const std::string& path, const std::vector<u8>& bytes) {
    std::u16string widePath;
    return osUtf8ToWide(path.c_str(), &widePath) &&
           writeWholeFileW(widePath.c_str(), bytes.data(), u32(bytes.size())) == E_FILESTATUS_OK;
}

}  // namespace

bool stringSourceParse(const char* name, const std::string& bytes, SStringSource* outSource,
                       std::vector<std::string>* outWarnings, std::string* outError) {
    outSource->name = name;
    outSource->entries.clear();
    if (bytes.find('\0') != std::string::npos) {
        const u32 line = u32(std::count(bytes.begin(), bytes.begin() + bytes.find('\0'), '\n')) + 1;
        *outError = at(name, line, "NUL byte");
        return false;
    }

    size_t position = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    // By key without regard to case, and by hash: the entry index.
    std::map<std::string, size_t> byFoldedKey;
    std::map<u32, size_t> byHash;
    for (u32 line = 1; position < bytes.size(); ++line) {
        size_t end = bytes.find('\n', position);
        if (end == std::string::npos) end = bytes.size();
        std::string text = bytes.substr(position, end - position);
        position = end + 1;
        if (!text.empty() && text.back() == '\r') text.pop_back();

        const size_t firstUsed = text.find_first_not_of(" \t");
        if (firstUsed == std::string::npos || text[firstUsed] == '#') continue;

        const size_t tab = text.find('\t');
        if (tab == std::string::npos) {
            *outError = at(name, line, "no tab between key and text");
            return false;
        }
        const std::string key = text.substr(0, tab);
        if (!validKey(key)) {
            *outError = at(name, line, "bad key \"" + key + "\" (printable ASCII without blanks)");
            return false;
        }
        std::string unescaped;
        std::string reason;
        if (!unescape(text.substr(tab + 1), &unescaped, &reason)) {
            *outError = at(name, line, reason);
            return false;
        }
        SStringSourceEntry entry;
        if (!osUtf8ToWide(unescaped.c_str(), &entry.text)) {
            *outError = at(name, line, "text is not valid UTF-8");
            return false;
        }
        entry.key = key;
        entry.idHash = crc32TextNoCase(key.c_str());
        entry.line = line;

        std::string folded = key;
        for (char& c : folded)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        const auto sameKey = byFoldedKey.find(folded);
        if (sameKey != byFoldedKey.end()) {
            const SStringSourceEntry& first = outSource->entries[sameKey->second];
            *outError = at(name, line, "key " + key + " already given on line " + std::to_string(first.line));
            return false;
        }
        const auto sameHash = byHash.find(entry.idHash);
        if (sameHash != byHash.end()) {
            const SStringSourceEntry& first = outSource->entries[sameHash->second];
            char hash[16];
            std::snprintf(hash, sizeof hash, "0x%08X", entry.idHash);
            *outError = at(name, line, "key " + key + " has the hash " + hash + " of key " + first.key + " on line " +
                                           std::to_string(first.line) + "; rename one");
            return false;
        }
        byFoldedKey.emplace(folded, outSource->entries.size());
        byHash.emplace(entry.idHash, outSource->entries.size());
        warnOnPlaceholders(name, line, entry.text, outWarnings);
        outSource->entries.push_back(std::move(entry));
    }
    return true;
}

bool stringSourceBuildImage(const SStringSource& source, std::vector<u8>* outImage, std::string* outError) {
    std::vector<SStringTableInput> inputs(source.entries.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].idHash = source.entries[i].idHash;
        inputs[i].text = source.entries[i].text.c_str();
        inputs[i].key = source.entries[i].key.c_str();
    }
    const SStringTableBuildResult result = stringTableBuild(inputs.data(), u32(inputs.size()), outImage);
    switch (result.error) {
    case E_STRINGTABLEBUILD_OK: return true;
    case E_STRINGTABLEBUILD_DUPLICATE_HASH:
        *outError = source.name + ": keys " + source.entries[result.firstIndex].key + " and " +
                    source.entries[result.secondIndex].key + " share a hash";
        return false;
    case E_STRINGTABLEBUILD_TOO_LARGE: *outError = source.name + ": table would reach 4 GiB"; return false;
    }
    *outError = source.name + ": cannot build the table";
    return false;
}

void stringSourcesWarnSharedKeys(const std::vector<SStringSource>& sources, std::vector<std::string>* outWarnings) {
    // Hash to the first table and line that hold it.
    std::map<u32, std::pair<size_t, u32>> firstHolder;
    for (size_t table = 0; table < sources.size(); ++table) {
        for (const SStringSourceEntry& entry : sources[table].entries) {
            const auto found = firstHolder.find(entry.idHash);
            if (found == firstHolder.end()) {
                firstHolder.emplace(entry.idHash, std::make_pair(table, entry.line));
                continue;
            }
            if (found->second.first == table) continue;
            const SStringSource& first = sources[found->second.first];
            outWarnings->push_back(at(sources[table].name.c_str(), entry.line,
                                      "key " + entry.key + " is also in " + first.name + ":" +
                                          std::to_string(found->second.second) +
                                          "; the table loaded first wins"));
        }
    }
}

bool stringTableWriterWrite(const std::vector<std::string>& sourcePaths, const char* outputFolder,
                            std::vector<std::string>* outWarnings, std::string* outError) {
    namespace fs = std::filesystem;
    std::vector<SStringSource> sources(sourcePaths.size());
    std::vector<std::vector<u8>> images(sourcePaths.size());
    std::vector<std::string> outputPaths(sourcePaths.size());
    for (size_t i = 0; i < sourcePaths.size(); ++i) {
        const fs::path path(sourcePaths[i]);
        const std::string tableName = path.stem().string();
        if (tableName.empty()) {
            *outError = sourcePaths[i] + ": no table name";
            return false;
        }
        outputPaths[i] = (fs::path(outputFolder) / (tableName + ".lang")).string();
        for (size_t earlier = 0; earlier < i; ++earlier) {
            if (outputPaths[earlier] == outputPaths[i]) {
                *outError = sourcePaths[i] + ": same table name as " + sourcePaths[earlier];
                return false;
            }
        }
        std::string bytes;
        if (!readWholeFile(sourcePaths[i], &bytes)) {
            *outError = sourcePaths[i] + ": cannot be read";
            return false;
        }
        if (!stringSourceParse(sourcePaths[i].c_str(), bytes, &sources[i], outWarnings, outError)) return false;
        if (!stringSourceBuildImage(sources[i], &images[i], outError)) return false;
    }
    stringSourcesWarnSharedKeys(sources, outWarnings);

    std::error_code error;
    fs::create_directories(outputFolder, error);
    for (size_t i = 0; i < images.size(); ++i) {
        if (!writeWholeFile(outputPaths[i], images[i])) {
            *outError = outputPaths[i] + ": cannot be written";
            return false;
        }
    }
    return true;
}
