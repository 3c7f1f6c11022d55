#include <gtest/gtest.h>

#include <memory>

#include "assets/material.h"
#include "support/temp_dir.h"

namespace {

std::unique_ptr<Material> loadMaterial(const std::string& xml) {
    TempDir dir;
    const std::string path = dir.write("materials/test.mat", xml);
    MaterialLoader loader;
    return std::unique_ptr<Material>(static_cast<Material*>(loader.load(path.c_str(), nullptr)));
}

TEST(MaterialLoader, RootAloneKeepsEveryDefault) {
    auto m = loadMaterial("<Material Name=\"plain\"/>");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->name, "plain");
    EXPECT_FLOAT_EQ(m->opacity, 0.0f);
    EXPECT_FLOAT_EQ(m->glossiness, 0.3f);
    EXPECT_FLOAT_EQ(m->specularLevel, 1.0f);
    EXPECT_FLOAT_EQ(m->ambient[0], 0.3f);
    EXPECT_FLOAT_EQ(m->diffuse[2], 0.6f);
    EXPECT_FLOAT_EQ(m->emissive[3], 1.0f);
    EXPECT_TRUE(m->diffuseMap.file.empty());
}

TEST(MaterialLoader, ReadsTheExampleShape) {
    auto m = loadMaterial(
        "<?xml version=\"1.0\"?>\n"
        "<Material Name=\"floor\">\n"
        "  <Property Type=\"Diffuse\" Value=\"0.8;0.7;0.6\"/>\n"
        "  <!-- a comment inside is skipped -->\n"
        "  <Property Type=\"Glossiness\" Value=\"0.5\"/>\n"
        "  <Textures>\n"
        "    <Texture Type=\"Diffuse\" File=\"floor.jpg\"/>\n"
        "    <Texture Type=\"Bump\" File=\"textures\\floor_n.png\"/>\n"
        "    <Texture Type=\"Opacity\" File=\"a/b/cut.out.png\"/>\n"
        "  </Textures>\n"
        "</Material>\n");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->name, "floor");
    EXPECT_FLOAT_EQ(m->diffuse[0], 0.8f);
    EXPECT_FLOAT_EQ(m->diffuse[1], 0.7f);
    EXPECT_FLOAT_EQ(m->diffuse[2], 0.6f);
    EXPECT_FLOAT_EQ(m->diffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(m->glossiness, 0.5f);
    EXPECT_EQ(m->diffuseMap.file, "floor");
    EXPECT_EQ(m->bumpMap.file, "floor_n");
    EXPECT_EQ(m->opacityMap.file, "cut.out");
    EXPECT_EQ(m->diffuseMap.texture, nullptr);
}

TEST(MaterialLoader, PartialAndMalformedValuesKeepWhatTheyDoNotReach) {
    auto m = loadMaterial(
        "<M Name=\"x\"><P Type=\"Ambient\" Value=\"1;0.5\"/><P Type=\"Opacity\" Value=\"abc\"/>"
        "<P Type=\"Specular\"/><P Type=\"Unknown\" Value=\"9\"/><P Value=\"9\"/>"
        "<P Type=\"EmissiveAmount\" Value=\"0.25\"/><P Type=\"SpecularLevel\" Value=\"2\"/></M>");
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->ambient[0], 1.0f);
    EXPECT_FLOAT_EQ(m->ambient[1], 0.5f);
    EXPECT_FLOAT_EQ(m->ambient[2], 0.3f);
    EXPECT_FLOAT_EQ(m->opacity, 0.0f);
    EXPECT_FLOAT_EQ(m->specular[0], 1.0f);
    EXPECT_FLOAT_EQ(m->emissiveAmount, 0.25f);
    EXPECT_FLOAT_EQ(m->specularLevel, 2.0f);
}

TEST(MaterialLoader, FirstEndTagEndsTheMaterial) {
    auto m = loadMaterial(
        "<M Name=\"x\"><P Type=\"Glossiness\" Value=\"0.9\"></P><P Type=\"Opacity\" Value=\"0.7\"/></M>");
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->glossiness, 0.9f);
    EXPECT_FLOAT_EQ(m->opacity, 0.0f);
}

TEST(MaterialLoader, EmptyTexturesListConsumesTheRest) {
    auto m = loadMaterial(
        "<M Name=\"x\"><Textures/><P Type=\"Opacity\" Value=\"0.7\"/>"
        "<Texture Type=\"Diffuse\" File=\"late.png\"/></M>");
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->opacity, 0.0f);
    EXPECT_EQ(m->diffuseMap.file, "late");
}

TEST(MaterialLoader, TextureElements) {
    // Lower-case types are ignored; a later element of a type replaces the earlier name.
    auto m = loadMaterial(
        "<M Name=\"x\"><Textures><Texture Type=\"diffuse\" File=\"a.png\"/>"
        "<Texture Type=\"Bump\" File=\"b1.png\"/><Texture Type=\"Bump\" File=\"b2.png\"/>"
        "</Textures></M>");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->diffuseMap.file.empty());
    EXPECT_EQ(m->bumpMap.file, "b2");

    // A Texture without File leaves the list; the list's own end tag then ends the material.
    m = loadMaterial(
        "<M Name=\"x\"><Textures><Texture Type=\"Diffuse\"/><Texture Type=\"Bump\" File=\"b.png\"/>"
        "</Textures><P Type=\"Opacity\" Value=\"0.7\"/></M>");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->bumpMap.file.empty());
    EXPECT_FLOAT_EQ(m->opacity, 0.0f);
}

TEST(MaterialLoader, RejectsFilesWithoutANamedRoot) {
    EXPECT_FALSE(loadMaterial("<!-- made by hand --><M Name=\"x\"/>"));
    EXPECT_FALSE(loadMaterial("<M Title=\"x\"/>"));
    EXPECT_FALSE(loadMaterial(""));
    EXPECT_FALSE(loadMaterial("not xml at all"));
    MaterialLoader loader;
    EXPECT_EQ(loader.load("/nonexistent/dir/x.mat", nullptr), nullptr);
}

TEST(MaterialLoader, BrokenMarkupKeepsWhatWasRead) {
    auto m = loadMaterial("<M Name=\"x\"><P Type=\"Opacity\" Value=\"0.4\"/><P Type=");
    ASSERT_TRUE(m);
    EXPECT_FLOAT_EQ(m->opacity, 0.4f);
}

}  // namespace
