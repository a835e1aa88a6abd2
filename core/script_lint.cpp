#include "core/script_lint.h"

#include "core/script_node.h"
#include "core/script_parser.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <unordered_map>

namespace {

// Package look-ups ignore case and read '/' as '\', so the lint matches names the same way.
std::string normalName(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        if (c == '/') c = '\\';
        else if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

class ClLintSource : public IScriptSource {
public:
    explicit ClLintSource(const std::vector<SScriptLintFile>& files) : files(files) {
        for (size_t i = 0; i < files.size(); ++i) byName[normalName(files[i].name)] = i;
    }

    bool readScriptFile(const char* name, std::vector<char>* out) override {
        const s64 index = indexOf(name);
        if (index < 0) return false;
        reached.insert(size_t(index));
        *out = files[size_t(index)].bytes;
        return true;
    }

    s64 indexOf(const std::string& name) const {
        const auto found = byName.find(normalName(name));
        return found == byName.end() ? -1 : s64(found->second);
    }

    const std::vector<SScriptLintFile>& files;
    std::unordered_map<std::string, size_t> byName;
    std::set<size_t> reached;
};

struct SPlace {
    std::string file;
    u32 offset;
};

class ClLintSink : public IScriptProblemSink {
public:
    void onScriptProblem(const SScriptProblem& problem) override {
        const bool isError = scriptProblemIsFatal(problem.code) || problem.code == E_SCRIPTPROBLEM_UNMATCHED_CLOSE ||
                             problem.code == E_SCRIPTPROBLEM_UNCLOSED_BLOCK ||
                             problem.code == E_SCRIPTPROBLEM_UNCLOSED_QUOTE;
        add(isError ? E_SCRIPTLINT_ERROR : E_SCRIPTLINT_WARNING, {problem.file, problem.offset}, problem.reason);
    }

    void onScriptNodeCreated(const ClScriptNode* node, const char* file, u32 offset) override {
        places[node] = {file, offset};
    }

    void add(EScriptLintSeverity severity, const SPlace& place, const std::string& text) {
        findings.insert({place.file, place.offset, severity, text});
    }

    std::map<const ClScriptNode*, SPlace> places;
    // A file included by several scripts is reported once.
    std::set<std::tuple<std::string, u32, EScriptLintSeverity, std::string>> findings;
};

bool isNumber(const ClScriptNode* node) { return node->kind == E_SCRIPTNODE_INT || node->kind == E_SCRIPTNODE_FLOAT; }

void collectNamedKinds(const ClScriptNode* node, std::set<u32>* floatNames) {
    for (const ClScriptNode* child : node->children) {
        if (child->named && child->kind == E_SCRIPTNODE_FLOAT) floatNames->insert(child->name.hash);
        collectNamedKinds(child, floatNames);
    }
}

void checkIntForFloat(const ClScriptNode* node, const std::set<u32>& floatNames, ClLintSink* sink) {
    bool unnamedFloat = false;
    for (const ClScriptNode* child : node->children) {
        if (!child->named && child->kind == E_SCRIPTNODE_FLOAT) unnamedFloat = true;
    }
    for (const ClScriptNode* child : node->children) {
        if (child->kind == E_SCRIPTNODE_INT && sink->places.count(child)) {
            const std::string value = std::to_string(child->getInt());
            if (!child->named && unnamedFloat) {
                sink->add(E_SCRIPTLINT_WARNING, sink->places[child],
                          "integer " + value + " among floats; write " + value + ".0 if a float is meant");
            } else if (child->named && floatNames.count(child->name.hash)) {
                sink->add(E_SCRIPTLINT_WARNING, sink->places[child],
                          "\"" + std::string(child->name.text) + "\" is the integer " + value +
                              " here but a float elsewhere; write " + value + ".0 if a float is meant");
            }
        }
        if (!isNumber(child)) checkIntForFloat(child, floatNames, sink);
    }
}

// Include names written in the file, whether or not they exist.
std::vector<std::string> includeNames(const std::vector<char>& bytes) {
    std::vector<std::string> names;
    const std::string text(bytes.begin(), bytes.end());
    const std::string open = SCRIPT_INJECT_OPEN;
    const std::string close = SCRIPT_INJECT_CLOSE;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const size_t end = text.find(close, at + open.size());
        if (end == std::string::npos) break;
        names.push_back(text.substr(at + open.size(), end - at - open.size()));
    }
    return names;
}

u32 lineOf(const std::vector<char>& bytes, u32 offset) {
    const size_t end = std::min(size_t(offset), bytes.size());
    return 1 + u32(std::count(bytes.begin(), bytes.begin() + end, '\n'));
}

}  // namespace

u32 lintScripts(const std::vector<SScriptLintFile>& files, std::vector<SScriptLintMessage>* out) {
    ClLintSource source(files);
    ClLintSink sink;

    std::set<size_t> included;
    for (const SScriptLintFile& file : files) {
        for (const std::string& name : includeNames(file.bytes)) {
            const s64 index = source.indexOf(name);
            if (index >= 0) included.insert(size_t(index));
        }
    }

    std::vector<std::unique_ptr<ClScriptNode>> trees;
    auto check = [&](size_t index) {
        const SScriptLintFile& file = files[index];
        source.reached.insert(index);
        const u32 size = u32(std::min<size_t>(file.bytes.size(), size_t(SCRIPT_TEXT_SIZE_LIMIT) + 1));
        trees.emplace_back(scriptParseBytes(file.name.c_str(), file.bytes.data(), size, &source, &sink));
    };
    for (size_t i = 0; i < files.size(); ++i) {
        if (!included.count(i)) check(i);
    }
    // Files only reachable from each other (an include cycle) are checked on their own.
    for (size_t i = 0; i < files.size(); ++i) {
        if (!source.reached.count(i)) check(i);
    }

    std::set<u32> floatNames;
    for (const auto& tree : trees) collectNamedKinds(tree.get(), &floatNames);
    for (const auto& tree : trees) checkIntForFloat(tree.get(), floatNames, &sink);
    // Destroying the trees takes their classes out of the registry again.
    trees.clear();

    std::vector<SScriptLintMessage> messages;
    u32 errors = 0;
    for (const auto& [file, offset, severity, text] : sink.findings) {
        const s64 index = source.indexOf(file);
        SScriptLintMessage message;
        message.severity = severity;
        message.file = index >= 0 ? files[size_t(index)].name : file;
        message.line = index >= 0 ? lineOf(files[size_t(index)].bytes, offset) : 1;
        message.text = text;
        messages.push_back(std::move(message));
        if (severity == E_SCRIPTLINT_ERROR) ++errors;
    }
    std::stable_sort(messages.begin(), messages.end(), [](const SScriptLintMessage& a, const SScriptLintMessage& b) {
        return std::tie(a.file, a.line) < std::tie(b.file, b.line);
    });
    out->insert(out->end(), messages.begin(), messages.end());
    return errors;
}

std::string formatScriptLintMessage(const SScriptLintMessage& message) {
    return message.file + ":" + std::to_string(message.line) +
           (message.severity == E_SCRIPTLINT_ERROR ? ": error: " : ": warning: ") + message.text;
}
