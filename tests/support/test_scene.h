// A small scene written through the content writers: a floor with a box above it, a glowing
// lamp, a pane of glass, a lift, a gear, a head with eyes, a credits sign, the content's own
// effect files, three credits monitors, the believe monitor, two scripted camera shots and the
// property script; on request also the loading picture, the music and a textured floor.
#pragma once

#include <string>

#include "anim/math.h"
#include "support/zip_writer.h"

struct TestSceneOptions {
    // First shot: from `eye` at `target`, ending at `firstShotEnd` seconds; the second shot
    // (from the other side) runs to `secondShotEnd`.
    sm::Vec3 eye{0.0f, 9.0f, 11.0f};
    sm::Vec3 target{0.0f, 0.0f, 0.0f};
    float firstShotEnd = 2.0f;
    float secondShotEnd = 30.0f;
    bool cameras = true;       // false: an empty camera file
    float shake = 0.0f;        // constant value of "shake"
    float endFrom = 1.0e9f;    // "images.end" rises from 0 to 1 over one second from here (ms)
    float noiseFrom = 1.0e9f;  // "electro_noise" jumps from 0.1 to 1 (heavy) here (ms)
    int creditsPictures = 3;   // JPEGs in "textures/credits"
    int brokenCreditsPicture = -1;  // that credits picture holds bytes that are no JPEG
    bool loaderPicture = false;  // "loader.jpg", the loading screen's picture
    bool music = false;          // "music/demotune.mp3", about a second of silence
    std::string musicFile;       // with `music`: these bytes instead of the silence
    bool floorTexture = false;   // the floor material takes its diffuse map from "floor.png"
};

// Writes the scene's folders and files below `directory` (ending in a separator). False when
// a file could not be written.
bool writeTestScene(const std::string& directory, const TestSceneOptions& options = {});
// The same scene as the entries of a zip archive, below "voltaresca_data/", folders first.
ZipEntries testSceneEntries(const TestSceneOptions& options = {});
// Those entries as a zip archive.
bool writeTestSceneArchive(const std::string& path, const TestSceneOptions& options = {});
