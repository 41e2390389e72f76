// The X11 handles behind the GLFW window. GLFW's own glfw3native.h would pull in the XRandR
// headers for these two functions, which GLFW exports either way.
#pragma once

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>

extern "C" {
Display* glfwGetX11Display(void);
Window glfwGetX11Window(GLFWwindow* window);
}
