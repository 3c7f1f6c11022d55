#include "fx/glsl_program.h"

#include <cctype>
#include <map>
#include <set>

#include "gl/gl.h"
#include "gl/vertex_inputs.h"

namespace fx {

namespace {

// One top-level item of a glsl block: a function definition, a declaration or a preprocessor line.
struct Item {
    std::string text;
    int line = 0;
    std::string function;     // name, for function definitions
    std::string returnType;   // first word, for function definitions
    std::set<std::string> words;  // identifiers of a function's body
};

bool identStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool identChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Identifiers of a piece of GLSL, comments skipped.
std::vector<std::string> identifiers(const std::string& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, 2, "//") == 0) {
            while (i < s.size() && s[i] != '\n') ++i;
        } else if (s.compare(i, 2, "/*") == 0) {
            size_t end = s.find("*/", i + 2);
            i = end == std::string::npos ? s.size() : end + 2;
        } else if (identStart(s[i])) {
            size_t start = i;
            while (i < s.size() && identChar(s[i])) ++i;
            out.push_back(s.substr(start, i - start));
        } else if (std::isdigit(static_cast<unsigned char>(s[i]))) {
            while (i < s.size() && (identChar(s[i]) || s[i] == '.')) ++i;
        } else {
            ++i;
        }
    }
    return out;
}

// The text with every comment turned into spaces, line breaks kept.
std::string withoutComments(const std::string& s) {
    std::string out = s;
    for (size_t i = 0; i < out.size();) {
        size_t end = i;
        if (out.compare(i, 2, "//") == 0) end = out.find('\n', i);
        else if (out.compare(i, 2, "/*") == 0) end = out.find("*/", i + 2) == std::string::npos ? out.size() : out.find("*/", i + 2) + 2;
        else {
            ++i;
            continue;
        }
        if (end == std::string::npos) end = out.size();
        for (; i < end; ++i)
            if (out[i] != '\n') out[i] = ' ';
    }
    return out;
}

void describeFunction(Item& item) {
    std::string text = withoutComments(item.text);
    size_t brace = text.find('{');
    size_t paren = text.find('(');
    if (brace == std::string::npos || paren == std::string::npos || paren > brace) return;
    std::vector<std::string> headWords = identifiers(text.substr(0, paren));
    if (headWords.size() < 2) return;
    item.function = headWords.back();
    item.returnType = headWords[headWords.size() - 2];
    for (std::string& w : identifiers(text.substr(paren))) item.words.insert(std::move(w));
}

std::vector<Item> splitBlock(const CodeBlock& block) {
    std::vector<Item> items;
    const std::string& s = block.text;
    int line = block.firstLine;
    size_t i = 0;
    auto step = [&](size_t n) {
        for (size_t k = 0; k < n && i < s.size(); ++k, ++i) line += s[i] == '\n';
    };
    for (;;) {
        // Whitespace and comments between items belong to no item.
        for (;;) {
            while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) step(1);
            if (s.compare(i, 2, "//") == 0) {
                while (i < s.size() && s[i] != '\n') step(1);
            } else if (s.compare(i, 2, "/*") == 0) {
                size_t end = s.find("*/", i + 2);
                step((end == std::string::npos ? s.size() : end + 2) - i);
            } else {
                break;
            }
        }
        if (i >= s.size()) break;
        Item item;
        item.line = line;
        size_t start = i;
        if (s[i] == '#') {
            while (i < s.size() && s[i] != '\n') step(1);
            item.text = s.substr(start, i - start);
            items.push_back(std::move(item));
            continue;
        }
        int depth = 0;
        bool sawParen = false;
        bool done = false;
        while (i < s.size() && !done) {
            if (s.compare(i, 2, "//") == 0) {
                while (i < s.size() && s[i] != '\n') step(1);
                continue;
            }
            if (s.compare(i, 2, "/*") == 0) {
                size_t end = s.find("*/", i + 2);
                step((end == std::string::npos ? s.size() : end + 2) - i);
                continue;
            }
            char c = s[i];
            step(1);
            if (c == '(' && depth == 0) sawParen = true;
            if (c == '{') ++depth;
            if (c == '}' && --depth == 0 && sawParen) done = true;  // end of a function body
            if (c == ';' && depth == 0) done = true;
        }
        item.text = s.substr(start, i - start);
        if (item.text.back() == '}') describeFunction(item);
        items.push_back(std::move(item));
    }
    return items;
}

void append(GlslSource& out, const std::string& text, int firstLine) {
    int line = firstLine;
    out.text += text;
    out.text += '\n';
    out.lineMap.push_back(line);
    for (char c : text)
        if (c == '\n') out.lineMap.push_back(firstLine ? ++line : 0);
}

// The text with the identifiers that `names` holds replaced by their values; comments and
// line breaks stay as they are, so the line map holds.
std::string renamed(const std::string& s, const std::map<std::string, std::string>& names) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, 2, "//") == 0 || s.compare(i, 2, "/*") == 0) {
            size_t end = s[i + 1] == '/' ? s.find('\n', i) : s.find("*/", i + 2);
            end = end == std::string::npos ? s.size() : (s[i + 1] == '/' ? end : end + 2);
            out.append(s, i, end - i);
            i = end;
        } else if (identStart(s[i]) && (i == 0 || !identChar(s[i - 1]))) {
            size_t start = i;
            while (i < s.size() && identChar(s[i])) ++i;
            const std::string word = s.substr(start, i - start);
            auto it = names.find(word);
            out += it == names.end() ? word : it->second;
        } else {
            out += s[i++];
        }
    }
    return out;
}

// GLSL ES 3.00 names of what GLSL 1.20 has built in, for one stage.
std::map<std::string, std::string> esNames(Stage stage) {
    const bool vertex = stage == Stage::Vertex;
    return {{"varying", vertex ? "out" : "in"},
            {"gl_Vertex", "vr_Vertex"},
            {"gl_Normal", "vr_Normal"},
            {"gl_MultiTexCoord0", "vr_MultiTexCoord0"},
            {"gl_MultiTexCoord1", "vr_MultiTexCoord1"},
            {"gl_FragColor", "vr_FragColor"},
            {"texture2D", "texture"},
            {"texture2DLod", "textureLod"},
            {"texture1D", "vr_texture1D"},
            {"shadow2D", "vr_shadow2D"},
            {"sampler1D", "sampler2D"}};
}

// The declarations GLSL ES 3.00 needs before the effect's code: precisions, the stage's named
// inputs or output, and the lookups GLSL 1.20 has and ES has not (only where `words` uses them).
void appendEsPrologue(GlslSource& out, Stage stage, const std::set<std::string>& words) {
    append(out, "#version 300 es", 0);
    append(out, "precision highp float;", 0);
    append(out, "precision highp int;", 0);
    append(out, "precision highp sampler2D;", 0);
    append(out, "precision highp sampler2DShadow;", 0);
    if (stage == Stage::Vertex) {
        append(out, "layout(location = " + std::to_string(kVertexInputPosition) + ") in vec4 vr_Vertex;", 0);
        append(out, "layout(location = " + std::to_string(kVertexInputNormal) + ") in vec3 vr_Normal;", 0);
        append(out, "layout(location = " + std::to_string(kVertexInputTexCoord0) + ") in vec4 vr_MultiTexCoord0;", 0);
        append(out, "layout(location = " + std::to_string(kVertexInputTexCoord1) + ") in vec4 vr_MultiTexCoord1;", 0);
    } else {
        append(out, "out vec4 vr_FragColor;", 0);
    }
    // shadow2D gives the comparison in every component (the depth texture mode Intensity).
    if (words.count("shadow2D"))
        append(out, "vec4 vr_shadow2D(sampler2DShadow s, vec3 p) { return vec4(texture(s, p)); }", 0);
    if (words.count("texture1D"))
        append(out, "vec4 vr_texture1D(sampler2D s, float x) { return texture(s, vec2(x, 0.5)); }", 0);
}

}  // namespace

bool makeStageSource(const EffectFile& file, Stage stage, const std::string& entry, GlslSource& out,
                     std::string& error, Dialect dialect) {
    out = GlslSource();
    std::vector<Item> items;
    for (const CodeBlock& block : file.code)
        for (Item& item : splitBlock(block)) items.push_back(std::move(item));

    // Keep the functions the entry reaches; overloads of a reached name are all kept.
    std::set<std::string> reached{entry};
    std::vector<bool> keep(items.size(), false);
    const Item* entryItem = nullptr;
    for (bool grew = true; grew;) {
        grew = false;
        for (size_t k = 0; k < items.size(); ++k) {
            if (keep[k] || items[k].function.empty() || !reached.count(items[k].function)) continue;
            keep[k] = true;
            grew = true;
            if (items[k].function == entry) entryItem = &items[k];
            for (const std::string& w : items[k].words) reached.insert(w);
        }
    }
    if (!entryItem) {
        error = "no function '" + entry + "' in the glsl blocks";
        return false;
    }
    const bool vertex = stage == Stage::Vertex;
    std::string call;
    if (entryItem->returnType == "void") call = entry + "();";
    else if (entryItem->returnType == "vec4") call = std::string(vertex ? "gl_Position" : "gl_FragColor") + " = " + entry + "();";
    else {
        error = "entry function '" + entry + "' must return void or vec4, not " + entryItem->returnType;
        return false;
    }

    if (dialect == Dialect::Glsl120) {
        append(out, "#version 120", 0);
        for (const ParamDecl& p : file.params) append(out, std::string("uniform ") + glslTypeName(p.type) + " " + p.name + ";", 0);
        for (size_t k = 0; k < items.size(); ++k)
            if (keep[k] || items[k].function.empty()) append(out, items[k].text, items[k].line);
        append(out, "void main() { " + call + " }", 0);
        return true;
    }
    std::set<std::string> words;
    for (size_t k = 0; k < items.size(); ++k)
        if (keep[k] || items[k].function.empty())
            for (std::string& w : identifiers(items[k].text)) words.insert(std::move(w));
    const std::map<std::string, std::string> names = esNames(stage);
    appendEsPrologue(out, stage, words);
    for (const ParamDecl& p : file.params)
        append(out, renamed(std::string("uniform ") + glslTypeName(p.type) + " " + p.name + ";", names), 0);
    for (size_t k = 0; k < items.size(); ++k)
        if (keep[k] || items[k].function.empty()) append(out, renamed(items[k].text, names), items[k].line);
    append(out, renamed("void main() { " + call + " }", names), 0);
    return true;
}

FxError firstCompilerError(const std::string& log, const std::vector<int>& lineMap) {
    FxError result;
    size_t lineStart = 0;
    std::string chosen;
    while (lineStart < log.size()) {
        size_t end = log.find('\n', lineStart);
        if (end == std::string::npos) end = log.size();
        std::string l = log.substr(lineStart, end - lineStart);
        std::string lower = l;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (chosen.empty() && !l.empty()) chosen = l;
        if (lower.find("error") != std::string::npos) {
            chosen = l;
            break;
        }
        lineStart = end + 1;
    }
    // Location prefixes: "0:12(5): error: ..." (Mesa), "0(12) : error C0000: ..." (NVIDIA),
    // "ERROR: 0:12: ..." (others). The number after the source string number is the line.
    size_t k = 0;
    if (chosen.compare(0, 6, "ERROR:") == 0) k = 6;
    while (k < chosen.size() && chosen[k] == ' ') ++k;
    size_t digits = k;
    while (digits < chosen.size() && std::isdigit(static_cast<unsigned char>(chosen[digits]))) ++digits;
    if (digits > k && digits < chosen.size() && (chosen[digits] == ':' || chosen[digits] == '(')) {
        size_t n = digits + 1;
        int generated = 0;
        while (n < chosen.size() && std::isdigit(static_cast<unsigned char>(chosen[n])))
            generated = generated * 10 + (chosen[n++] - '0');
        if (generated >= 1 && generated <= static_cast<int>(lineMap.size())) result.line = lineMap[generated - 1];
    }
    std::string lower = chosen;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t at = lower.find("error");
    std::string message = at == std::string::npos ? chosen : chosen.substr(at + 5);
    size_t first = message.find_first_not_of(": ");
    result.message = first == std::string::npos ? chosen : message.substr(first);
    if (result.message.empty()) result.message = "the compiler gave no reason";
    return result;
}

GLuint compileShader(Stage stage, const GlslSource& source, FxError& error) {
    GLuint shader = glCreateShader(stage == Stage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* text = source.text.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    glDeleteShader(shader);
    error = firstCompilerError(log, source.lineMap);
    return 0;
}

GLuint linkProgram(GLuint vertexShader, GLuint fragmentShader, std::string& error) {
    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok) return program;
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 1), '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    glDeleteProgram(program);
    error = firstCompilerError(log, {}).message;
    return 0;
}

}  // namespace fx
