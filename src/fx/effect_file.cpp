#include "fx/effect_file.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace fx {

int floatCount(ParamType type) {
    switch (type) {
    case ParamType::Float: return 1;
    case ParamType::Float2: return 2;
    case ParamType::Float3: return 3;
    case ParamType::Float4: return 4;
    case ParamType::Float4x4: return 16;
    default: return 0;
    }
}

bool isSampler(ParamType type) { return floatCount(type) == 0; }

GLenum textureTarget(ParamType type) {
    if (type == ParamType::Sampler1D) return GL_TEXTURE_1D;
    if (type == ParamType::Sampler2D || type == ParamType::Sampler2DShadow) return GL_TEXTURE_2D;
    return 0;
}

const char* glslTypeName(ParamType type) {
    switch (type) {
    case ParamType::Float: return "float";
    case ParamType::Float2: return "vec2";
    case ParamType::Float3: return "vec3";
    case ParamType::Float4: return "vec4";
    case ParamType::Float4x4: return "mat4";
    case ParamType::Sampler1D: return "sampler1D";
    case ParamType::Sampler2D: return "sampler2D";
    case ParamType::Sampler2DShadow: return "sampler2DShadow";
    }
    return "float";
}

namespace {

bool sameWord(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct Named {
    const char* name;
    GLint value;
};

template <size_t N>
bool lookUp(const Named (&table)[N], const std::string& word, GLint& out) {
    for (const Named& entry : table)
        if (sameWord(word, entry.name)) {
            out = entry.value;
            return true;
        }
    return false;
}

const Named kCompareFuncs[] = {{"Never", GL_NEVER},   {"Less", GL_LESS},         {"LEqual", GL_LEQUAL},
                               {"Equal", GL_EQUAL},   {"Greater", GL_GREATER},   {"NotEqual", GL_NOTEQUAL},
                               {"GEqual", GL_GEQUAL}, {"Always", GL_ALWAYS}};
const Named kBlendFactors[] = {{"Zero", GL_ZERO},
                               {"One", GL_ONE},
                               {"SrcColor", GL_SRC_COLOR},
                               {"OneMinusSrcColor", GL_ONE_MINUS_SRC_COLOR},
                               {"DstColor", GL_DST_COLOR},
                               {"OneMinusDstColor", GL_ONE_MINUS_DST_COLOR},
                               {"SrcAlpha", GL_SRC_ALPHA},
                               {"OneMinusSrcAlpha", GL_ONE_MINUS_SRC_ALPHA},
                               {"DstAlpha", GL_DST_ALPHA},
                               {"OneMinusDstAlpha", GL_ONE_MINUS_DST_ALPHA},
                               {"SrcAlphaSaturate", GL_SRC_ALPHA_SATURATE}};
const Named kFaces[] = {{"Front", GL_FRONT}, {"Back", GL_BACK}, {"FrontAndBack", GL_FRONT_AND_BACK}};
const Named kFilters[] = {{"Nearest", GL_NEAREST},
                          {"Linear", GL_LINEAR},
                          {"NearestMipMapNearest", GL_NEAREST_MIPMAP_NEAREST},
                          {"LinearMipMapNearest", GL_LINEAR_MIPMAP_NEAREST},
                          {"NearestMipMapLinear", GL_NEAREST_MIPMAP_LINEAR},
                          {"LinearMipMapLinear", GL_LINEAR_MIPMAP_LINEAR}};
const Named kWraps[] = {{"Repeat", GL_REPEAT},
                        {"Clamp", GL_CLAMP},
                        {"ClampToEdge", GL_CLAMP_TO_EDGE},
                        {"ClampToBorder", GL_CLAMP_TO_BORDER},
                        {"MirroredRepeat", GL_MIRRORED_REPEAT}};
const Named kCompareModes[] = {{"None", GL_NONE}, {"CompareRToTexture", GL_COMPARE_R_TO_TEXTURE}};
const Named kDepthModes[] = {{"Luminance", GL_LUMINANCE}, {"Intensity", GL_INTENSITY}, {"Alpha", GL_ALPHA}};

const struct {
    const char* name;
    ParamType type;
} kTypes[] = {{"float", ParamType::Float},         {"float2", ParamType::Float2},
              {"float3", ParamType::Float3},       {"float4", ParamType::Float4},
              {"float4x4", ParamType::Float4x4},   {"sampler1D", ParamType::Sampler1D},
              {"sampler2D", ParamType::Sampler2D}, {"sampler2DShadow", ParamType::Sampler2DShadow}};

enum class Tok { Ident, Number, Punct, End };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    double number = 0;
    int line = 0;
};

// One item of a value: a number or a word (true, LEqual, SrcAlpha, ...).
struct Atom {
    bool isNumber = false;
    double number = 0;
    std::string word;
};

class Parser {
public:
    Parser(const std::string& text, EffectFile& out, FxError& error) : text_(text), out_(out), error_(error) {}

    bool run() {
        advance();
        while (tok_.kind != Tok::End) {
            if (!topLevel()) return false;
        }
        return true;
    }

private:
    // ---- lexer ------------------------------------------------------------------------------
    void skipSpaceAndComments() {
        for (;;) {
            while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
                if (text_[pos_] == '\n') ++line_;
                ++pos_;
            }
            if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                size_t end = text_.find("*/", pos_ + 2);
                size_t stop = end == std::string::npos ? text_.size() : end + 2;
                for (size_t i = pos_; i < stop; ++i) line_ += text_[i] == '\n';
                pos_ = stop;
            } else {
                return;
            }
        }
    }

    void advance() {
        skipSpaceAndComments();
        tok_ = Token();
        tok_.line = line_;
        if (pos_ >= text_.size()) return;
        char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                ++pos_;
            tok_.kind = Tok::Ident;
            tok_.text = text_.substr(start, pos_ - start);
            return;
        }
        bool sign = (c == '-' || c == '+') && pos_ + 1 < text_.size() &&
                    (std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])) || text_[pos_ + 1] == '.');
        if (std::isdigit(static_cast<unsigned char>(c)) || sign || (c == '.' && pos_ + 1 < text_.size() &&
                                                                   std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
            const char* begin = text_.c_str() + pos_;
            char* end = nullptr;
            tok_.number = std::strtod(begin, &end);
            if (end != begin) {
                pos_ += static_cast<size_t>(end - begin);
                if (pos_ < text_.size() && (text_[pos_] == 'f' || text_[pos_] == 'F')) ++pos_;
                tok_.kind = Tok::Number;
                tok_.text = std::string(begin, static_cast<size_t>(end - begin));
                return;
            }  // else a sign that starts no number: punctuation
        }
        tok_.kind = Tok::Punct;
        tok_.text = std::string(1, c);
        ++pos_;
    }

    // ---- helpers ----------------------------------------------------------------------------
    bool fail(int line, const std::string& message) {
        error_.line = line;
        error_.message = message;
        return false;
    }
    bool failHere(const std::string& message) { return fail(tok_.line, message); }

    static std::string describe(const Token& t) {
        if (t.kind == Tok::End) return "the end of the file";
        return "'" + t.text + "'";
    }

    bool isPunct(char c) const { return tok_.kind == Tok::Punct && tok_.text[0] == c; }

    bool expectPunct(char c, const char* where) {
        if (!isPunct(c))
            return failHere(std::string("expected '") + c + "' " + where + ", found " + describe(tok_));
        advance();
        return true;
    }

    bool expectIdent(std::string& out, const char* what) {
        if (tok_.kind != Tok::Ident) return failHere(std::string("expected ") + what + ", found " + describe(tok_));
        out = tok_.text;
        advance();
        return true;
    }

    // The text up to the brace that closes the one just read, braces in comments ignored.
    bool rawBlock(int openLine, CodeBlock& block) {
        // The lexer has already read the token after '{'; restart from just behind the brace.
        pos_ = blockStart_;
        line_ = openLine;
        block.firstLine = line_;
        size_t start = pos_;
        int depth = 1;
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
                continue;
            }
            if (text_.compare(pos_, 2, "/*") == 0) {
                size_t end = text_.find("*/", pos_ + 2);
                size_t stop = end == std::string::npos ? text_.size() : end + 2;
                for (size_t i = pos_; i < stop; ++i) line_ += text_[i] == '\n';
                pos_ = stop;
                continue;
            }
            if (c == '\n') ++line_;
            if (c == '{') ++depth;
            if (c == '}' && --depth == 0) {
                block.text = text_.substr(start, pos_ - start);
                ++pos_;
                advance();
                return true;
            }
            ++pos_;
        }
        return fail(openLine, "the glsl block opened here has no closing '}'");
    }

    // value := atom | word '(' atoms ')' | '{' atoms '}'
    bool value(std::vector<Atom>& atoms) {
        atoms.clear();
        auto atom = [&]() -> bool {
            Atom a;
            if (tok_.kind == Tok::Number) {
                a.isNumber = true;
                a.number = tok_.number;
            } else if (tok_.kind == Tok::Ident) {
                a.word = tok_.text;
            } else {
                return failHere("expected a value, found " + describe(tok_));
            }
            atoms.push_back(a);
            advance();
            return true;
        };
        auto list = [&](char close) -> bool {
            advance();
            if (isPunct(close)) return failHere("empty value list");
            for (;;) {
                if (!atom()) return false;
                if (isPunct(close)) {
                    advance();
                    return true;
                }
                if (!expectPunct(',', "between values")) return false;
            }
        };
        if (isPunct('{')) return list('}');
        if (tok_.kind == Tok::Ident) {
            std::string word = tok_.text;
            advance();
            if (isPunct('(')) return list(')');  // constructor: float4(...), int2(...), bool4(...)
            Atom a;
            a.word = word;
            atoms.push_back(a);
            return true;
        }
        return atom();
    }

    static bool asBool(const Atom& a, GLint& out) {
        if (a.isNumber) {
            out = a.number != 0;
            return true;
        }
        if (sameWord(a.word, "true")) out = 1;
        else if (sameWord(a.word, "false")) out = 0;
        else return false;
        return true;
    }

    // ---- grammar ----------------------------------------------------------------------------
    bool topLevel() {
        if (tok_.kind != Tok::Ident) return failHere("expected a parameter, a glsl block or a technique, found " + describe(tok_));
        if (tok_.text == "technique") return technique();
        if (tok_.text == "glsl") {
            advance();
            if (!isPunct('{')) return failHere("expected '{' after glsl, found " + describe(tok_));
            blockStart_ = pos_;
            int openLine = tok_.line;
            CodeBlock block;
            if (!rawBlock(openLine, block)) return false;
            out_.code.push_back(std::move(block));
            return true;
        }
        for (const auto& t : kTypes)
            if (tok_.text == t.name) return parameter(t.type);
        return failHere("unknown type or keyword " + describe(tok_) +
                        " (parameters are float, float2, float3, float4, float4x4, sampler1D, sampler2D, sampler2DShadow)");
    }

    bool parameter(ParamType type) {
        ParamDecl p;
        p.type = type;
        p.line = tok_.line;
        advance();
        if (!expectIdent(p.name, "a parameter name")) return false;
        for (const ParamDecl& other : out_.params)
            if (other.name == p.name) return fail(p.line, "parameter '" + p.name + "' is declared twice");
        if (isPunct('=')) {
            advance();
            if (isSampler(type)) {
                if (!samplerState(p)) return false;
            } else {
                int line = tok_.line;
                std::vector<Atom> atoms;
                if (!value(atoms)) return false;
                int n = floatCount(type);
                if (static_cast<int>(atoms.size()) != n)
                    return fail(line, "parameter '" + p.name + "' needs " + std::to_string(n) + " values, the default gives " +
                                          std::to_string(atoms.size()));
                for (int i = 0; i < n; ++i) {
                    if (!atoms[i].isNumber) return fail(line, "the default of '" + p.name + "' must be numbers");
                    p.value[i] = static_cast<float>(atoms[i].number);
                }
            }
        }
        if (!expectPunct(';', "after a parameter declaration")) return false;
        out_.params.push_back(std::move(p));
        return true;
    }

    bool samplerState(ParamDecl& p) {
        if (tok_.kind != Tok::Ident || tok_.text != "sampler_state")
            return failHere("a sampler's default must be sampler_state { ... }, found " + describe(tok_));
        advance();
        if (!expectPunct('{', "after sampler_state")) return false;
        while (!isPunct('}')) {
            if (tok_.kind == Tok::End) return failHere("sampler_state of '" + p.name + "' has no closing '}'");
            int line = tok_.line;
            std::string name;
            if (!expectIdent(name, "a sampler state name")) return false;
            if (!expectPunct('=', "after a sampler state name")) return false;
            std::vector<Atom> atoms;
            if (!value(atoms)) return false;
            if (atoms.size() != 1 || atoms[0].isNumber)
                return fail(line, "sampler state '" + name + "' takes one word");
            const std::string& word = atoms[0].word;
            SamplerState s;
            bool known = true;
            if (sameWord(name, "MinFilter")) s.pname = GL_TEXTURE_MIN_FILTER, known = lookUp(kFilters, word, s.value);
            else if (sameWord(name, "MagFilter")) s.pname = GL_TEXTURE_MAG_FILTER, known = lookUp(kFilters, word, s.value);
            else if (sameWord(name, "WrapS")) s.pname = GL_TEXTURE_WRAP_S, known = lookUp(kWraps, word, s.value);
            else if (sameWord(name, "WrapT")) s.pname = GL_TEXTURE_WRAP_T, known = lookUp(kWraps, word, s.value);
            else if (sameWord(name, "CompareMode")) s.pname = GL_TEXTURE_COMPARE_MODE, known = lookUp(kCompareModes, word, s.value);
            else if (sameWord(name, "CompareFunc")) s.pname = GL_TEXTURE_COMPARE_FUNC, known = lookUp(kCompareFuncs, word, s.value);
            else if (sameWord(name, "DepthTextureMode")) s.pname = GL_DEPTH_TEXTURE_MODE, known = lookUp(kDepthModes, word, s.value);
            else
                return fail(line, "unknown sampler state '" + name +
                                      "' (known: MinFilter, MagFilter, WrapS, WrapT, CompareMode, CompareFunc, DepthTextureMode)");
            if (!known) return fail(line, "'" + word + "' is not a value of sampler state '" + name + "'");
            if (p.type == ParamType::Sampler1D && s.pname == GL_TEXTURE_WRAP_T)
                return fail(line, "a sampler1D has no WrapT");
            p.samplerStates.push_back(s);
            if (!expectPunct(';', "after a sampler state")) return false;
        }
        advance();
        return true;
    }

    bool technique() {
        TechniqueDecl t;
        t.line = tok_.line;
        advance();
        if (!expectIdent(t.name, "a technique name")) return false;
        int open = tok_.line;
        if (!expectPunct('{', "after the technique name")) return false;
        while (!isPunct('}')) {
            if (tok_.kind == Tok::End) return fail(open, "technique '" + t.name + "' has no closing '}'");
            if (tok_.kind != Tok::Ident || tok_.text != "pass")
                return failHere("expected 'pass' in technique '" + t.name + "', found " + describe(tok_));
            PassDecl p;
            if (!pass(t, p)) return false;
            t.passes.push_back(std::move(p));
        }
        advance();
        if (t.passes.empty()) return fail(t.line, "technique '" + t.name + "' has no pass");
        out_.techniques.push_back(std::move(t));
        return true;
    }

    // VertexProgram = fn; also the Cg spelling VertexProgram = compile profile fn();
    bool program(std::string& name) {
        if (tok_.kind == Tok::Ident && tok_.text == "compile") {
            advance();
            std::string profile;
            if (!expectIdent(profile, "a profile after 'compile'")) return false;
        }
        if (!expectIdent(name, "a function name")) return false;
        if (isPunct('(')) {
            advance();
            if (!expectPunct(')', "after the entry function's name (entry functions take no arguments)")) return false;
        }
        return true;
    }

    bool pass(const TechniqueDecl& t, PassDecl& p) {
        p.line = tok_.line;
        advance();
        if (!expectIdent(p.name, "a pass name")) return false;
        int open = tok_.line;
        if (!expectPunct('{', "after the pass name")) return false;
        while (!isPunct('}')) {
            if (tok_.kind == Tok::End) return fail(open, "pass '" + p.name + "' has no closing '}'");
            int line = tok_.line;
            std::string name;
            if (!expectIdent(name, "a state name")) return false;
            if (!expectPunct('=', "after a state name")) return false;
            if (sameWord(name, "VertexProgram")) {
                p.vertexLine = line;
                if (!program(p.vertexProgram)) return false;
            } else if (sameWord(name, "FragmentProgram")) {
                p.fragmentLine = line;
                if (!program(p.fragmentProgram)) return false;
            } else {
                RenderState s;
                s.line = line;
                if (!renderState(name, s)) return false;
                p.states.push_back(s);
            }
            if (!expectPunct(';', "after a state assignment")) return false;
        }
        advance();
        if (p.vertexProgram.empty() || p.fragmentProgram.empty())
            return fail(p.line, "pass '" + p.name + "' of technique '" + t.name + "' needs a VertexProgram and a FragmentProgram");
        return true;
    }

    bool renderState(const std::string& name, RenderState& s) {
        struct Kind {
            const char* name;
            RenderStateKind kind;
        };
        static const Kind kKinds[] = {{"DepthTestEnable", RenderStateKind::DepthTestEnable},
                                      {"DepthMask", RenderStateKind::DepthMask},
                                      {"DepthFunc", RenderStateKind::DepthFunc},
                                      {"BlendEnable", RenderStateKind::BlendEnable},
                                      {"BlendFunc", RenderStateKind::BlendFunc},
                                      {"CullFaceEnable", RenderStateKind::CullFaceEnable},
                                      {"CullFace", RenderStateKind::CullFace},
                                      {"AlphaTestEnable", RenderStateKind::AlphaTestEnable},
                                      {"AlphaFunc", RenderStateKind::AlphaFunc},
                                      {"PolygonOffsetFillEnable", RenderStateKind::PolygonOffsetFillEnable},
                                      {"PolygonOffset", RenderStateKind::PolygonOffset},
                                      {"ColorMask", RenderStateKind::ColorMask}};
        const Kind* kind = nullptr;
        for (const Kind& k : kKinds)
            if (sameWord(name, k.name)) kind = &k;
        if (!kind) {
            std::string known;
            for (const Kind& k : kKinds) known += std::string(known.empty() ? "" : ", ") + k.name;
            return fail(s.line, "unknown state '" + name + "' (known: VertexProgram, FragmentProgram, " + known + ")");
        }
        s.kind = kind->kind;
        std::vector<Atom> a;
        if (!value(a)) return false;
        auto count = [&](size_t n, const char* shape) {
            if (a.size() == n) return true;
            return fail(s.line, "state '" + name + "' takes " + shape);
        };
        auto bad = [&]() { return fail(s.line, "state '" + name + "' has a value it doesn't know"); };
        switch (s.kind) {
        case RenderStateKind::DepthTestEnable:
        case RenderStateKind::DepthMask:
        case RenderStateKind::BlendEnable:
        case RenderStateKind::CullFaceEnable:
        case RenderStateKind::AlphaTestEnable:
        case RenderStateKind::PolygonOffsetFillEnable:
            if (!count(1, "true or false")) return false;
            return asBool(a[0], s.ints[0]) || bad();
        case RenderStateKind::DepthFunc:
            if (!count(1, "a comparison (Never, Less, LEqual, Equal, Greater, NotEqual, GEqual, Always)")) return false;
            return lookUp(kCompareFuncs, a[0].word, s.ints[0]) || bad();
        case RenderStateKind::CullFace:
            if (!count(1, "Front, Back or FrontAndBack")) return false;
            return lookUp(kFaces, a[0].word, s.ints[0]) || bad();
        case RenderStateKind::BlendFunc:
            if (!count(2, "int2(source factor, destination factor)")) return false;
            return (lookUp(kBlendFactors, a[0].word, s.ints[0]) && lookUp(kBlendFactors, a[1].word, s.ints[1])) || bad();
        case RenderStateKind::AlphaFunc:
            if (!count(2, "float2(comparison, reference)")) return false;
            if (!a[1].isNumber) return bad();
            s.floats[1] = static_cast<float>(a[1].number);
            return lookUp(kCompareFuncs, a[0].word, s.ints[0]) || bad();
        case RenderStateKind::PolygonOffset:
            if (!count(2, "float2(factor, units)")) return false;
            if (!a[0].isNumber || !a[1].isNumber) return bad();
            s.floats[0] = static_cast<float>(a[0].number);
            s.floats[1] = static_cast<float>(a[1].number);
            return true;
        case RenderStateKind::ColorMask:
            if (!count(4, "bool4(red, green, blue, alpha)")) return false;
            for (int i = 0; i < 4; ++i)
                if (!asBool(a[i], s.ints[i])) return bad();
            return true;
        }
        return bad();
    }

    const std::string& text_;
    EffectFile& out_;
    FxError& error_;
    size_t pos_ = 0;
    size_t blockStart_ = 0;
    int line_ = 1;
    Token tok_;
};

}  // namespace

bool parseEffectFile(const std::string& text, EffectFile& out, FxError& error) {
    out = EffectFile();
    error = FxError();
    Parser parser(text, out, error);
    return parser.run();
}

}  // namespace fx
