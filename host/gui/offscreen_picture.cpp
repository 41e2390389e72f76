#include "gui/offscreen_picture.h"

#include <GL/osmesa.h>
#include <cairo.h>
#include <imgui.h>
#include <imgui_impl_opengl2.h>

#include <cstring>
#include <memory>

namespace vhost {
namespace {

// The colour under the window; only its translucent edges let it show through.
constexpr float kBackdrop[4] = {0.0f, 0.0f, 0.0f, 1.0f};

std::size_t RowBytes(int width) { return static_cast<std::size_t>(width) * 4; }

std::string GlErrorText(GLenum code) {
    switch (code) {
        case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
        case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
        case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
        case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
        default: return "GL error " + std::to_string(code);
    }
}

// Draw data recorded before the renderer existed refers to the font atlas by the null
// texture (the atlas had no GL texture yet); point those commands at the atlas texture.
void BindUnsetTexturesToFontAtlas(ImDrawData& data) {
    const ImTextureID atlas = ImGui::GetIO().Fonts->TexID;
    for (int l = 0; l < data.CmdListsCount; ++l) {
        for (ImDrawCmd& cmd : data.CmdLists[l]->CmdBuffer) {
            if (cmd.UserCallback == nullptr && cmd.TextureId == ImTextureID{}) cmd.TextureId = atlas;
        }
    }
}

}  // namespace

OffscreenPicture::OffscreenPicture(int width, int height) : width_(width), height_(height) {}

OffscreenPicture::~OffscreenPicture() {
    if (gl_ == nullptr) return;
    // The renderer's GL objects belong to this GL context: delete them with it current.
    // (Should that fail, the GL calls do nothing and the objects go with the context.)
    OSMesaMakeCurrent(gl_, buffer_.data(), GL_UNSIGNED_BYTE, width_, height_);
    if (rendererReady_) ImGui_ImplOpenGL2_Shutdown();
    // Unbind first: a context destroyed while current keeps its framebuffer alive.
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    OSMesaDestroyContext(gl_);
}

bool OffscreenPicture::EnsureContext(std::string& error) {
    if (gl_ == nullptr) {
        gl_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
        if (gl_ == nullptr) {
            error = "could not create an off-screen OpenGL context (OSMesa)";
            return false;
        }
        buffer_.assign(RowBytes(width_) * static_cast<std::size_t>(height_), 0);
    }
    // Made current on every use: another window's context may be current on this thread.
    if (OSMesaMakeCurrent(gl_, buffer_.data(), GL_UNSIGNED_BYTE, width_, height_) != GL_TRUE) {
        error = "could not make the off-screen OpenGL context current (" + std::to_string(width_) + "x" +
                std::to_string(height_) + ")";
        return false;
    }
    if (!rendererReady_) {
        if (!ImGui_ImplOpenGL2_Init()) {
            error = "could not set up Dear ImGui's OpenGL2 renderer";
            return false;
        }
        rendererReady_ = true;
    }
    return true;
}

bool OffscreenPicture::Render(ImDrawData& data, std::vector<std::uint8_t>& rgba, std::string& error) {
    if (!EnsureContext(error)) return false;

    while (glGetError() != GL_NO_ERROR) {
    }
    ImGui_ImplOpenGL2_NewFrame();  // creates the font texture on first use
    BindUnsetTexturesToFontAtlas(data);

    glViewport(0, 0, width_, height_);
    glClearColor(kBackdrop[0], kBackdrop[1], kBackdrop[2], kBackdrop[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(&data);
    glFinish();
    if (const GLenum code = glGetError(); code != GL_NO_ERROR) {
        error = "OpenGL failed while rendering the window: " + GlErrorText(code);
        return false;
    }

    // OSMesa keeps the bottom row first.
    const std::size_t row = RowBytes(width_);
    rgba.resize(buffer_.size());
    for (int y = 0; y < height_; ++y) {
        const std::size_t from = static_cast<std::size_t>(height_ - 1 - y) * row;
        std::memcpy(rgba.data() + static_cast<std::size_t>(y) * row, buffer_.data() + from, row);
    }
    return true;
}

bool WriteRgbaPng(const std::vector<std::uint8_t>& rgba, int width, int height, const std::string& path,
                  std::string& error) {
    if (width <= 0 || height <= 0 || rgba.size() != RowBytes(width) * static_cast<std::size_t>(height)) {
        error = "internal error: picture buffer does not match its size";
        return false;
    }
    if (path.empty()) {
        error = "no file name given for the PNG";
        return false;
    }
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height), &cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        error = std::string("could not create the picture: ") + cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }

    // Cairo's ARGB32 is premultiplied, one native-endian 32-bit word per pixel. A window on
    // screen is opaque whatever alpha the blending left in the buffer, so alpha is 255 and
    // premultiplying changes nothing.
    cairo_surface_flush(surface.get());
    unsigned char* pixels = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = rgba.data() + static_cast<std::size_t>(y) * RowBytes(width);
        auto* dst = reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x, src += 4) {
            dst[x] = 0xFF000000u | (std::uint32_t{src[0]} << 16) | (std::uint32_t{src[1]} << 8) | std::uint32_t{src[2]};
        }
    }
    cairo_surface_mark_dirty(surface.get());

    const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        error = "could not write " + path + ": " + cairo_status_to_string(status);
        return false;
    }
    return true;
}

}  // namespace vhost
