// One owner for every GL object name the program makes (textures, framebuffers, renderbuffers,
// buffer objects): it deletes its name exactly once, when it is destroyed or reset, unless the
// context the name was made in has ended since; then the name went with the context and the
// owner drops it without a GL call. So an object that owns GL names needs no release or forget
// of its own: it may be destroyed before or after the context, and a name still owned while the
// context lives is deleted with its owner.
#pragma once

enum class GlKind { Texture, Framebuffer, Renderbuffer, Buffer };

// Told by whoever destroys a GL context, right before it goes (OpenGLWindow::destroy): every
// name made so far belongs to it, and no owner deletes one of them after this.
void glContextEnds();
// How many contexts have ended; an owner remembers the count from when it took its name.
unsigned endedGlContexts();
// Deletes one name of `kind` in the current context.
void deleteGlName(GlKind kind, unsigned name);

template <GlKind K>
class GlName {
public:
    GlName() = default;
    // Takes `name` (0: none) made in the current context.
    explicit GlName(unsigned name) : name_(name), context_(endedGlContexts()) {}
    ~GlName() { reset(); }
    GlName(GlName&& other) noexcept : name_(other.name_), context_(other.context_) { other.name_ = 0; }
    GlName& operator=(GlName&& other) noexcept {
        if (this != &other) {
            reset();
            name_ = other.name_;
            context_ = other.context_;
            other.name_ = 0;
        }
        return *this;
    }
    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;

    // Deletes the name while its context lives, and holds none from then on.
    void reset() {
        if (name_ != 0 && context_ == endedGlContexts()) deleteGlName(K, name_);
        name_ = 0;
    }
    unsigned get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }

private:
    unsigned name_ = 0;
    unsigned context_ = 0;
};

using GlTexture = GlName<GlKind::Texture>;
using GlFramebuffer = GlName<GlKind::Framebuffer>;
using GlRenderbuffer = GlName<GlKind::Renderbuffer>;
using GlBuffer = GlName<GlKind::Buffer>;

// A fresh name of that kind (glGenTextures, glGenFramebuffersEXT, ...), owned.
template <GlKind K>
GlName<K> makeGlName();
inline GlTexture makeGlTexture() { return makeGlName<GlKind::Texture>(); }
