#include "platform/ui.h"

#include <SDL.h>

#include "platform/opengl.h"
#include <imgui.h>
#include <imgui_impl_opengl2.h>
#include <imgui_impl_sdl.h>

namespace platform {

struct UiWindow {
    Window* window = nullptr;
};

UiWindow* createUiWindow(const WindowDesc& desc) {
    Window* window = createWindow(desc);
    if (!window) return nullptr;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
    ImGui::StyleColorsDark();
    ImGui_ImplSDL2_InitForOpenGL(static_cast<SDL_Window*>(nativeWindow(window)), glContext(window));
    ImGui_ImplOpenGL2_Init();
    return new UiWindow{window};
}

bool beginUiFrame(UiWindow* ui, bool& spacePressed) {
    spacePressed = false;
    const auto observe = [&spacePressed](const void* e) {
        const auto* event = static_cast<const SDL_Event*>(e);
        ImGui_ImplSDL2_ProcessEvent(event);
        if (event->type == SDL_KEYDOWN && !event->key.repeat && event->key.keysym.sym == SDLK_SPACE) spacePressed = true;
    };
    if (!pumpEvents(observe)) return false;
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    return true;
}

void endUiFrame(UiWindow* ui) {
    ImGui::Render();
    const ImGuiIO& io = ImGui::GetIO();
    glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    swapWindow(ui->window);
}

void destroyUiWindow(UiWindow* ui) {
    if (!ui) return;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    destroyWindow(ui->window);
    delete ui;
    clearQuitRequest();
    forgetKeyPresses();
}

}  // namespace platform
