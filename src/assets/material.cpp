#include "assets/material.h"

#include <libxml/xmlreader.h>

#include <cstdio>
#include <cstring>

#include "assets/content.h"

namespace {

// The attribute's text, or false when the element lacks it.
bool attribute(xmlTextReaderPtr reader, const char* name, std::string& out) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (!value) return false;
    out = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return true;
}

bool isNamed(xmlTextReaderPtr reader, const char* name) {
    const xmlChar* local = xmlTextReaderConstLocalName(reader);
    return local && std::strcmp(reinterpret_cast<const char*>(local), name) == 0;
}

// Scans "r;g;b" into the first three floats; components the text does not reach stay as they were.
void scanColour(const std::string& text, float* colour) {
    std::sscanf(text.c_str(), "%f;%f;%f", &colour[0], &colour[1], &colour[2]);
}

void scanScalar(const std::string& text, float& value) { std::sscanf(text.c_str(), "%f", &value); }

void readProperty(xmlTextReaderPtr reader, Material& material) {
    std::string type;
    if (!attribute(reader, "Type", type)) return;
    float* colour = nullptr;
    float* scalar = nullptr;
    if (type == "Ambient") colour = material.ambient;
    else if (type == "Diffuse") colour = material.diffuse;
    else if (type == "Specular") colour = material.specular;
    else if (type == "Emissive") colour = material.emissive;
    else if (type == "Opacity") scalar = &material.opacity;
    else if (type == "Glossiness") scalar = &material.glossiness;
    else if (type == "SpecularLevel") scalar = &material.specularLevel;
    else if (type == "EmissiveAmount") scalar = &material.emissiveAmount;
    else return;
    std::string value;
    if (!attribute(reader, "Value", value)) return;
    if (colour) scanColour(value, colour);
    else scanScalar(value, *scalar);
}

bool readTexture(xmlTextReaderPtr reader, Material& material) {
    std::string type, file;
    if (!attribute(reader, "Type", type) || !attribute(reader, "File", file)) return false;
    const std::string name = assetName(file);
    if (type == "Diffuse") material.diffuseMap.file = name;
    else if (type == "Opacity") material.opacityMap.file = name;
    else if (type == "Bump") material.bumpMap.file = name;
    return true;
}

void readTextureList(xmlTextReaderPtr reader, Material& material) {
    while (xmlTextReaderRead(reader) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_ELEMENT && isNamed(reader, "Texture")) {
            if (!readTexture(reader, material)) return;
        } else if (type == XML_READER_TYPE_END_ELEMENT && isNamed(reader, "Textures")) {
            return;
        }
    }
}

Material* parse(xmlTextReaderPtr reader) {
    // The XML declaration is not a node for the reader; anything else before the root is.
    if (xmlTextReaderRead(reader) != 1 || xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT) return nullptr;
    std::string name;
    if (!attribute(reader, "Name", name)) return nullptr;
    auto* material = new Material;
    material->name = name;
    while (xmlTextReaderRead(reader) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        if (type == XML_READER_TYPE_END_ELEMENT) break;
        if (type != XML_READER_TYPE_ELEMENT) continue;
        if (isNamed(reader, "Textures")) readTextureList(reader, *material);
        else readProperty(reader, *material);
    }
    return material;
}

// Malformed markup simply ends the read; the loader keeps what it got and stays quiet.
void ignoreXmlError(void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

}  // namespace

IDisposable* MaterialLoader::load(const char* path, sm::IServiceProvider*) {
    if (!path) return nullptr;
    // No network access and no entity substitution: material files are plain data.
    xmlTextReaderPtr reader = xmlReaderForFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!reader) return nullptr;
    xmlTextReaderSetErrorHandler(reader, ignoreXmlError, nullptr);
    Material* material = parse(reader);
    xmlFreeTextReader(reader);
    return material;
}
