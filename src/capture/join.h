// Putting a film together from segment videos (voltaresca-capture --join): every segment is
// checked first (whole, made with the same settings, together covering the stretch with no gap
// and no frame twice); then the video streams are copied one after another into one MP4 and the
// music is encoded once for the whole stretch, so the sound runs on across the joins.
#pragma once

#include <functional>
#include <string>

#include "capture/options.h"

// Where the film's music comes from: asked once the segments passed their checks; false stops
// the join (the reason printed by the source); `music` left empty: the film is silent.
using MusicSource = std::function<bool(std::string& music)>;

// Joins options.joinSegments into options.join with the music of `music`. The exit status:
// 0 done, 1 refused (every missing, damaged or disagreeing segment named on standard error; no
// file written) or failed, 2 this build writes no videos.
int joinSegments(const CaptureOptions& options, const MusicSource& music);
