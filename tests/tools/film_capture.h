// Captures of the generated film shared by the cases of a test program (ctest runs each case in
// a process of its own) and kept between runs: a folder beside the test holds the pictures and
// a stamp of what they were made from, and is filled again only when the stamp differs.
#pragma once

#include <functional>
#include <string>

// What a capture is made from: the archive's size and time, the capture program's time (the
// test's VOLTARESCA_ARCHIVE and VOLTARESCA_CAPTURE) and `request` (moments, size, ...).
std::string filmCaptureStamp(const std::string& request);

// Makes `folder` and, under a lock on it, runs `capture` unless `folder`/stamp holds `stamp`;
// `capture` fills the folder and returns "" or what went wrong. The stamp is written only after
// a capture that worked. Returns "" or what went wrong.
std::string captureOnce(const std::string& folder, const std::string& stamp, const std::function<std::string()>& capture);
