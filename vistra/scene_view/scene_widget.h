// The live 3D view of the session: the view core's default scene (grid,
// markers, rigid bodies, cameras), its orbit camera and its picking into
// the session's selection sets, in a Qt GL widget.
#pragma once

#include "gl_view_core.h"
#include "glwidget/qt_view_widget.h"

using SceneWidget = QtViewWidget<glview::GLViewCore>;
