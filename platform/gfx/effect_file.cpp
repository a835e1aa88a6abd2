#include "platform/gfx/effect_file.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr std::string_view SECTION_PASS = "[pass]";
constexpr std::string_view SECTION_VERTEX = "[vertex]";
constexpr std::string_view SECTION_FRAGMENT = "[fragment]";

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isIdentifier(std::string_view s) {
    if (s.empty() || s.size() > EFFECT_MAX_NAME) return false;
    if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    for (char c : s) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    }
    return true;
}

// Splits off the next word (letters, digits, '_'), or one punctuation character.
std::string_view nextToken(std::string_view* rest) {
    *rest = trim(*rest);
    if (rest->empty()) return {};
    size_t n = 0;
    if (std::isalnum(static_cast<unsigned char>((*rest)[0])) || (*rest)[0] == '_') {
        while (n < rest->size() && (std::isalnum(static_cast<unsigned char>((*rest)[n])) || (*rest)[n] == '_')) ++n;
    } else {
        n = 1;
    }
    std::string_view token = rest->substr(0, n);
    rest->remove_prefix(n);
    return token;
}

struct SParser {
    std::string_view name;
    std::string* error;
    u32 line = 0;

    bool fail(const std::string& reason) {
        if (error) *error = std::string(name) + ":" + std::to_string(line) + ": " + reason;
        return false;
    }
};

struct STypeShape {
    std::string_view word;
    E_EffectParamClass paramClass;
    E_EffectParamType type;
    u32 rows;
    u32 columns;
};

constexpr STypeShape TYPE_SHAPES[] = {
    {"float", E_EFFECT_CLASS_SCALAR, E_EFFECT_TYPE_FLOAT, 1, 1},
    {"float2", E_EFFECT_CLASS_VECTOR, E_EFFECT_TYPE_FLOAT, 1, 2},
    {"float3", E_EFFECT_CLASS_VECTOR, E_EFFECT_TYPE_FLOAT, 1, 3},
    {"float4", E_EFFECT_CLASS_VECTOR, E_EFFECT_TYPE_FLOAT, 1, 4},
    {"float4x4", E_EFFECT_CLASS_MATRIX, E_EFFECT_TYPE_FLOAT, 4, 4},
    {"texture", E_EFFECT_CLASS_OBJECT, E_EFFECT_TYPE_TEXTURE, 0, 0},
};

bool parseCount(SParser& p, std::string_view* rest, u32* elements) {
    std::string_view digits = nextToken(rest);
    u32 value = 0;
    if (digits.empty() || digits.size() > 3) return p.fail("array size expected");
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return p.fail("array size expected");
        value = value * 10 + u32(c - '0');
    }
    if (value < 1 || value > EFFECT_MAX_ELEMENTS) {
        return p.fail("array size " + std::string(digits) + " outside 1 to " + std::to_string(EFFECT_MAX_ELEMENTS));
    }
    if (nextToken(rest) != "]") return p.fail("']' expected");
    *elements = value;
    return true;
}

// < Name = "value"; Name2 = "value"; >
bool parseAnnotations(SParser& p, std::string_view* rest, SEffectParameter* param) {
    for (;;) {
        std::string_view token = nextToken(rest);
        if (token == ">") return true;
        if (token.empty()) return p.fail("'>' expected to close the annotations");
        if (!isIdentifier(token)) return p.fail("annotation name expected, found '" + std::string(token) + "'");
        if (param->annotations.size() == EFFECT_MAX_ANNOTATIONS) return p.fail("more than 8 annotations");
        SEffectAnnotation annotation;
        annotation.name = token;
        if (nextToken(rest) != "=") return p.fail("'=' expected after annotation " + annotation.name);
        *rest = trim(*rest);
        if (rest->empty() || rest->front() != '"') return p.fail("quoted annotation value expected");
        size_t close = rest->find('"', 1);
        if (close == std::string_view::npos) return p.fail("unterminated annotation value");
        annotation.value = rest->substr(1, close - 1);
        rest->remove_prefix(close + 1);
        if (nextToken(rest) != ";") return p.fail("';' expected after annotation " + annotation.name);
        param->annotations.push_back(std::move(annotation));
    }
}

// param <type> <name>[<n>] [: SEMANTIC] [< annotations >]
bool parseParameter(SParser& p, std::string_view rest, SEffectFile* out) {
    if (out->parameters.size() == EFFECT_MAX_PARAMETERS) return p.fail("more than 64 parameters");
    SEffectParameter param;
    param.line = p.line;
    std::string_view typeWord = nextToken(&rest);
    const STypeShape* shape = nullptr;
    for (const STypeShape& candidate : TYPE_SHAPES) {
        if (candidate.word == typeWord) shape = &candidate;
    }
    if (shape == nullptr) return p.fail("unknown parameter type '" + std::string(typeWord) + "'");
    param.paramClass = shape->paramClass;
    param.type = shape->type;
    param.rows = shape->rows;
    param.columns = shape->columns;

    std::string_view nameWord = nextToken(&rest);
    if (!isIdentifier(nameWord)) return p.fail("parameter name expected, found '" + std::string(nameWord) + "'");
    param.name = nameWord;
    for (const SEffectParameter& other : out->parameters) {
        if (other.name == param.name) return p.fail("parameter " + param.name + " declared twice");
    }

    std::string_view token = nextToken(&rest);
    if (token == "[") {
        if (param.type == E_EFFECT_TYPE_TEXTURE) return p.fail("texture arrays are not supported");
        if (!parseCount(p, &rest, &param.elements)) return false;
        token = nextToken(&rest);
    }
    if (token == ":") {
        std::string_view semantic = nextToken(&rest);
        if (!isIdentifier(semantic)) return p.fail("semantic expected after ':'");
        param.semantic = semantic;
        token = nextToken(&rest);
    }
    if (token == "<") {
        if (!parseAnnotations(p, &rest, &param)) return false;
        token = nextToken(&rest);
    }
    if (!token.empty()) return p.fail("unexpected '" + std::string(token) + "' after parameter " + param.name);
    out->parameters.push_back(std::move(param));
    return true;
}

bool parseOnOff(SParser& p, std::string_view key, std::string_view word, bool* value) {
    if (word == "on") *value = true;
    else if (word == "off") *value = false;
    else return p.fail(std::string(key) + " takes on or off, not '" + std::string(word) + "'");
    return true;
}

bool parsePassLine(SParser& p, std::string_view rest, SEffectPassState* pass) {
    std::string_view key = nextToken(&rest);
    if (key != "blend" && key != "depthtest" && key != "depthwrite" && key != "cull" && key != "address") {
        return p.fail("unknown pass state '" + std::string(key) + "'");
    }
    std::string_view word = nextToken(&rest);
    if (!nextToken(&rest).empty()) return p.fail("one value expected after " + std::string(key));
    if (key == "blend") {
        static constexpr std::string_view names[] = {"none", "alpha", "additive", "add", "multiply", "subtract", "max"};
        for (u32 i = 0; i < std::size(names); ++i) {
            if (names[i] == word) {
                pass->blend = E_EffectBlend(i);
                return true;
            }
        }
        return p.fail("unknown blend mode '" + std::string(word) + "'");
    }
    if (key == "depthtest") return parseOnOff(p, key, word, &pass->depthTest);
    if (key == "depthwrite") return parseOnOff(p, key, word, &pass->depthWrite);
    if (key == "address") {
        if (word == "wrap") pass->address = E_EFFECT_ADDRESS_WRAP;
        else if (word == "clamp") pass->address = E_EFFECT_ADDRESS_CLAMP;
        else if (word == "mirror") pass->address = E_EFFECT_ADDRESS_MIRROR;
        else return p.fail("address takes wrap, clamp or mirror, not '" + std::string(word) + "'");
        return true;
    }
    if (word == "none") pass->cull = E_EFFECT_CULL_NONE;
    else if (word == "cw") pass->cull = E_EFFECT_CULL_CW;
    else if (word == "ccw") pass->cull = E_EFFECT_CULL_CCW;
    else return p.fail("cull takes none, cw or ccw, not '" + std::string(word) + "'");
    return true;
}

const char* glslType(const SEffectParameter& param) {
    if (param.type == E_EFFECT_TYPE_TEXTURE) return "sampler2D";
    if (param.paramClass == E_EFFECT_CLASS_MATRIX) return "mat4";
    static const char* const vectors[] = {"float", "float", "vec2", "vec3", "vec4"};
    return vectors[param.columns];
}

}  // namespace

bool parseEffectFile(std::string_view name, std::string_view text, SEffectFile* out, std::string* error) {
    *out = SEffectFile();
    out->name = name;
    SParser p{name, error};

    enum { HEADER, PARAMETERS, PASS, VERTEX, FRAGMENT } section = HEADER;
    bool seenPass = false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(at, end - at);
        at = end + 1;
        ++p.line;
        std::string_view line = trim(raw);

        if (line == SECTION_VERTEX || line == SECTION_FRAGMENT) {
            const bool vertex = line == SECTION_VERTEX;
            if (section == HEADER) return p.fail("'velodrix-effect 1' expected first");
            if (vertex ? section >= VERTEX : section != VERTEX) {
                return p.fail(vertex ? "[vertex] must come once, before [fragment]" : "[fragment] must follow [vertex]");
            }
            section = vertex ? VERTEX : FRAGMENT;
            out->stages[vertex ? 0 : 1].firstLine = p.line + 1;
            continue;
        }
        if (section == VERTEX || section == FRAGMENT) {
            std::string& stage = out->stages[section == VERTEX ? 0 : 1].text;
            stage.append(raw);
            stage.push_back('\n');
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        if (section == HEADER) {
            if (line != "velodrix-effect 1") return p.fail("'velodrix-effect 1' expected first");
            section = PARAMETERS;
            continue;
        }
        if (line == SECTION_PASS) {
            if (seenPass) return p.fail("a second [pass]: effects have one pass");
            seenPass = true;
            section = PASS;
            continue;
        }
        std::string_view rest = line;
        if (section == PARAMETERS) {
            if (nextToken(&rest) != "param") return p.fail("'param' or [pass] expected");
            if (!parseParameter(p, rest, out)) return false;
        } else if (!parsePassLine(p, rest, &out->pass)) {
            return false;
        }
    }
    if (section != FRAGMENT) {
        p.line = 0;
        return p.fail(section == HEADER ? "empty effect file" : "the [vertex] and [fragment] stages are missing");
    }
    return true;
}

int findEffectParameterBySemantic(const SEffectFile& file, std::string_view semantic) {
    for (size_t i = 0; i < file.parameters.size(); ++i) {
        if (file.parameters[i].semantic == semantic) return int(i);
    }
    return -1;
}

std::string effectStageSource(const SEffectFile& file, E_EffectStage stage, u32* prefixLines) {
    std::string source = "#version 330 core\n";
    u32 lines = 1;
    for (const SEffectParameter& param : file.parameters) {
        source += "uniform ";
        source += glslType(param);
        source += ' ';
        source += param.name;
        if (param.elements > 0) source += "[" + std::to_string(param.elements) + "]";
        source += ";\n";
        ++lines;
    }
    if (prefixLines) *prefixLines = lines;
    source += file.stages[stage].text;
    return source;
}

u32 effectFileLineOfStageLine(const SEffectFile& file, E_EffectStage stage, u32 glslLine) {
    u32 prefix = 0;
    const SEffectStageText& text = file.stages[stage];
    effectStageSource(file, stage, &prefix);
    u32 stageLines = 0;
    for (char c : text.text) stageLines += c == '\n';
    if (glslLine <= prefix || glslLine > prefix + stageLines) return 0;
    return text.firstLine + (glslLine - prefix - 1);
}

u32 firstLineOfGlslLog(std::string_view log) {
    // Mesa writes "0:12(7): error: ...", other compilers "0(12) : error ...".
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(log[i])) || (i > 0 && std::isalnum(static_cast<unsigned char>(log[i - 1])))) continue;
        size_t j = i;
        while (j < log.size() && std::isdigit(static_cast<unsigned char>(log[j]))) ++j;
        if (j >= log.size() || (log[j] != ':' && log[j] != '(')) continue;
        const char open = log[j];
        size_t k = ++j;
        u32 value = 0;
        while (k < log.size() && std::isdigit(static_cast<unsigned char>(log[k])) && k - j < 9) value = value * 10 + u32(log[k++] - '0');
        if (k == j || k >= log.size()) continue;
        if ((open == ':' && log[k] == '(') || (open == '(' && log[k] == ')')) return value;
    }
    return 0;
}
