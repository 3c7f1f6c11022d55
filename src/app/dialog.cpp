#include "app/dialog.h"

#include <imgui.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "gl/gl.h"
#include "base/log.h"
#include "assets/image.h"
#include "platform/ui.h"

namespace {

constexpr int kPictureWidth = 400;
constexpr int kPictureHeight = 150;
constexpr int kDialogHeight = 236;  // the picture and a black band for the controls

// Uploads setup.png as an RGBA texture of the picture's size; 0 when it cannot be read.
unsigned loadPicture(int& width, int& height) {
    DecodedImage image;
    if (!decodePng("setup.png", image)) {
        getLogger("Voltaresca")->log("couldn't read the setup picture 'setup.png' from the current folder");
        return 0;
    }
    // The decoder gives bottom row first; the dialog draws top row first.
    const int bytes = image.bitsPerPixel / 8;
    std::vector<unsigned char> rgba(static_cast<size_t>(image.width) * image.height * 4);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const unsigned char* src = image.pixels + (static_cast<size_t>(image.height - 1 - y) * image.width + x) * bytes;
            unsigned char* dst = rgba.data() + (static_cast<size_t>(y) * image.width + x) * 4;
            dst[0] = src[0];
            dst[1] = bytes >= 3 ? src[1] : src[0];
            dst[2] = bytes >= 3 ? src[2] : src[0];
            dst[3] = bytes == 4 ? src[3] : 255;
        }
    width = image.width;
    height = image.height;
    releasePixels(image);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool startsWithNoCase(const std::string& entry, const std::string& text) {
    if (entry.size() < text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (lower(entry[i]) != lower(text[i])) return false;
    return true;
}

}  // namespace

std::string modeText(const platform::DisplayMode& mode) {
    char text[128];
    std::snprintf(text, sizeof text, "%dx%dx%dbpp %dHz", mode.width, mode.height, mode.bitsPerPixel, mode.refreshRate);
    return text;
}

std::vector<std::string> sortedModeTexts(const std::vector<platform::DisplayMode>& modes) {
    std::vector<std::string> texts;
    for (const auto& m : modes) texts.push_back(modeText(m));
    std::stable_sort(texts.begin(), texts.end());
    return texts;
}

int findModeEntry(const std::vector<std::string>& entries, const std::string& text) {
    const int n = static_cast<int>(entries.size());
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;
        if (startsWithNoCase(entries[i], text)) return i;
    }
    return -1;
}

int currentModeEntry(const std::vector<std::string>& entries, const platform::DisplayMode& current) {
    const std::string text = modeText(current);
    const int exact = findModeEntry(entries, text);
    // A mode the list lacks selects nothing, unless the driver could not tell its refresh rate.
    if (exact >= 0 || current.refreshRate != 0) return exact;
    return findModeEntry(entries, text.substr(0, text.find(' ') + 1));
}

bool parseModeText(const std::string& text, SetupResult& out) {
    int w, h, bpp, hz;
    if (std::sscanf(text.c_str(), "%d%*c%d%*c%d%*s %d%*s", &w, &h, &bpp, &hz) != 4) return false;
    if (w <= 0 || h <= 0 || bpp <= 0 || hz < 0) return false;
    out.width = w;
    out.height = h;
    out.bitsPerPixel = bpp;
    out.frequency = hz;
    return true;
}

namespace {

// The dialog's choices, kept from frame to frame.
struct DialogChoices {
    std::vector<std::string> entries;  // the display modes as the list shows them
    int selected = -1;                 // none until the display's current mode or a click picks one
    bool windowed = false;
    bool verticalSync = true;
};

// The picture in the top band; a larger one is cut, as the dialog is made for exactly 400 x 150.
void drawPicture(unsigned picture, int width, int height) {
    if (!picture) return;
    const float u = std::min(1.0f, static_cast<float>(kPictureWidth) / static_cast<float>(width));
    const float v = std::min(1.0f, static_cast<float>(kPictureHeight) / static_cast<float>(height));
    const float w = std::min(width, kPictureWidth), h = std::min(height, kPictureHeight);
    ImGui::GetWindowDrawList()->AddImage(reinterpret_cast<ImTextureID>(static_cast<intptr_t>(picture)), ImVec2(0, 0),
                                         ImVec2(w, h), ImVec2(0, 0), ImVec2(u, v));
}

// The mode list, "Start", "Quit" and the two boxes below the picture. True once "Start" (with a
// mode that reads) or "Quit" is chosen; result.startFlag says which. Space activates the focused
// button; on the first frame the focus goes to "Start".
bool drawControls(DialogChoices& choices, bool firstFrame, bool spacePressed, SetupResult& result) {
    bool done = false;
    ImGui::SetCursorPos(ImVec2(8, kPictureHeight + 22));
    ImGui::SetNextItemWidth(216);
    const char* preview = choices.selected >= 0 ? choices.entries[choices.selected].c_str() : "";
    if (ImGui::BeginCombo("##mode", preview)) {
        for (int i = 0; i < static_cast<int>(choices.entries.size()); ++i) {
            ImGui::PushID(i);
            if (ImGui::Selectable(choices.entries[i].c_str(), i == choices.selected)) choices.selected = i;
            if (i == choices.selected) ImGui::SetItemDefaultFocus();
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    ImGui::SetCursorPos(ImVec2(234, kPictureHeight + 22));
    ImGui::BeginDisabled(choices.selected < 0);
    if (firstFrame) ImGui::SetKeyboardFocusHere();
    bool start = ImGui::Button("Start", ImVec2(75, 0));
    start = start || (spacePressed && ImGui::IsItemFocused());
    if (start && choices.selected >= 0 && parseModeText(choices.entries[choices.selected], result)) {
        result.startFlag = 1;
        done = true;
    }
    ImGui::EndDisabled();
    ImGui::SetCursorPos(ImVec2(315, kPictureHeight + 22));
    if (ImGui::Button("Quit", ImVec2(75, 0)) || (spacePressed && ImGui::IsItemFocused())) {
        result.startFlag = 0;
        done = true;
    }
    ImGui::SetCursorPos(ImVec2(8, kPictureHeight + 50));
    ImGui::Checkbox("Windowed", &choices.windowed);
    ImGui::SameLine(0.0f, 24.0f);
    ImGui::Checkbox("Vertical sync", &choices.verticalSync);
    return done;
}

}  // namespace

bool runSetupDialog(SetupResult& result) {
    result = SetupResult();
    DialogChoices choices;
    choices.entries = sortedModeTexts(platform::displayModes());
    platform::DisplayMode current;
    if (platform::currentDisplayMode(current)) choices.selected = currentModeEntry(choices.entries, current);

    platform::WindowDesc desc;
    desc.title = "Voltaresca";
    desc.width = kPictureWidth;
    desc.height = kDialogHeight;
    desc.centred = true;
    platform::UiWindow* window = platform::createUiWindow(desc);
    if (!window) {
        getLogger("Voltaresca")->log("couldn't open the setup dialog: " + platform::lastError());
        return false;
    }

    int pictureWidth = 0, pictureHeight = 0;
    const unsigned picture = loadPicture(pictureWidth, pictureHeight);

    bool done = false;
    for (int frame = 0; !done; ++frame) {
        bool spacePressed = false;  // activates the focused button
        if (!platform::beginUiFrame(window, spacePressed)) {
            result.startFlag = 0;  // the window's close, or Ctrl+C
            break;
        }
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(static_cast<float>(kPictureWidth), static_cast<float>(kDialogHeight)));
        ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
        ImGui::PushStyleColor(ImGuiCol_WindowBg, IM_COL32(0, 0, 0, 255));
        ImGui::Begin("setup", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
        drawPicture(picture, pictureWidth, pictureHeight);
        done = drawControls(choices, frame == 0, spacePressed, result);
        ImGui::End();
        ImGui::PopStyleColor();
        ImGui::PopStyleVar();

        platform::endUiFrame(window);
        if (!done) platform::sleepMilliseconds(10);  // a dialog need not spin a core
    }

    result.windowed = choices.windowed;
    result.verticalSync = choices.verticalSync;
    if (picture) {
        const GLuint name = picture;
        glDeleteTextures(1, &name);
    }
    platform::destroyUiWindow(window);
    return true;
}
