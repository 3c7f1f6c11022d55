// The credits: solid 3-D letters extruded from FreeType glyph outlines.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <stdexcept>

#include "content/geometry/models.h"

namespace geo {

namespace {

struct OutlineSink {
    std::vector<Contour> contours;
    Vec last;
    float scale = 1.0f;
    Vec at(const FT_Vector* p) const { return Vec(p->x * scale, p->y * scale, 0); }
};

constexpr int kCurveSteps = 6;

int moveTo(const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    s->contours.emplace_back();
    s->last = s->at(to);
    s->contours.back().push_back(s->last);
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    s->last = s->at(to);
    s->contours.back().push_back(s->last);
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    const Vec p0 = s->last, p1 = s->at(control), p2 = s->at(to);
    for (int i = 1; i <= kCurveSteps; ++i) {
        const float t = static_cast<float>(i) / kCurveSteps, r = 1 - t;
        s->contours.back().push_back(p0 * (r * r) + p1 * (2 * r * t) + p2 * (t * t));
    }
    s->last = p2;
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    const Vec p0 = s->last, p1 = s->at(c1), p2 = s->at(c2), p3 = s->at(to);
    for (int i = 1; i <= kCurveSteps; ++i) {
        const float t = static_cast<float>(i) / kCurveSteps, r = 1 - t;
        s->contours.back().push_back(p0 * (r * r * r) + p1 * (3 * r * r * t) + p2 * (3 * r * t * t) + p3 * (t * t * t));
    }
    s->last = p3;
    return 0;
}

// Drops repeated points, including the closing copy of the first one.
void tidy(Contour& c) {
    Contour out;
    for (const Vec& p : c)
        if (out.empty() || sm::length(p - out.back()) > 1e-5f) out.push_back(p);
    while (out.size() > 1 && sm::length(out.front() - out.back()) <= 1e-5f) out.pop_back();
    c = out;
}

}  // namespace

GeoModel buildCredits(const std::string& fontPath, const std::string& text) {
    const SceneLayout& layout = sceneLayout();
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) throw std::runtime_error("FreeType could not start");
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontPath.c_str(), 0, &face)) {
        FT_Done_FreeType(library);
        throw std::runtime_error("cannot read the font '" + fontPath + "' (package fonts-dejavu-core; scripts/setup installs it)");
    }
    const float capHeight = 2.6f, depth = 0.5f, tracking = 0.15f;
    // Font units to world units, from the height of a capital letter.
    float scale = capHeight / (0.73f * face->units_per_EM);
    if (!FT_Load_Char(face, 'H', FT_LOAD_NO_SCALE)) scale = capHeight / static_cast<float>(face->glyph->metrics.height);

    GeoModel model;
    GeoMesh mesh{401, "credits_letters", {}};
    Tris& fronts = partOf(mesh, "glow_credits");
    Tris& sides = partOf(mesh, "bare_metal");
    std::vector<std::pair<Tris, float>> letters;  // local triangles, pen position
    float pen = 0;
    for (char ch : text) {
        if (FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_NO_SCALE)) continue;
        OutlineSink sink;
        sink.scale = scale;
        FT_Outline_Funcs funcs{};
        funcs.move_to = moveTo;
        funcs.line_to = lineTo;
        funcs.conic_to = conicTo;
        funcs.cubic_to = cubicTo;
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink);
        std::vector<Contour> contours;
        for (Contour& c : sink.contours) {
            tidy(c);
            if (c.size() >= 3) contours.push_back(c);
        }
        if (!contours.empty()) {
            Tris front, side;
            if (!addExtrusion(front, translate(pen, 0, 0), contours, depth, 35.0f, 0.4f, &side)) {
                FT_Done_Face(face);
                FT_Done_FreeType(library);
                throw std::runtime_error(std::string("the outline of '") + ch + "' in '" + fontPath + "' did not triangulate");
            }
            fronts.insert(fronts.end(), front.begin(), front.end());
            sides.insert(sides.end(), side.begin(), side.end());
        }
        pen += face->glyph->metrics.horiAdvance * scale + tracking;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    // Centre the line on the layout's credits point, letters standing up, front toward +z.
    const float width = pen - tracking;
    const Affine place = translate(layout.creditsCentre - Vec(width * 0.5f, capHeight * 0.5f, depth));
    for (GeoPart& part : mesh.parts) {
        Tris placed;
        appendTransformed(placed, part.vertices, place);
        part.vertices.swap(placed);
    }
    model.meshes.push_back(std::move(mesh));
    finishModel(model);
    return model;
}

}  // namespace geo
