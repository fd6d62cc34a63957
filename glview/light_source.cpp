#include "light_source.h"

#include <GL/gl.h>

namespace glview {

void LightSource::apply() const {
    const GLenum light = static_cast<GLenum>(id);
    const float zero[4] = {0, 0, 0, 0};
    glLightfv(light, GL_AMBIENT, zero);
    glLightfv(light, GL_DIFFUSE, zero);
    glLightfv(light, GL_SPECULAR, zero);
    if (kind & kAmbientLight) {
        glLightfv(light, GL_AMBIENT, ambient.data());
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient.data());
    }
    if (kind & kDiffuseLight) glLightfv(light, GL_DIFFUSE, diffuse.data());
    if (kind & kSpecularLight) glLightfv(light, GL_SPECULAR, specular.data());
    const int colours = kind & (kAmbientLight | kDiffuseLight);
    if (colours) {
        const GLenum material = colours == 3               ? GL_AMBIENT_AND_DIFFUSE
                                : colours == kAmbientLight ? GL_AMBIENT
                                                           : GL_DIFFUSE;
        glColorMaterial(GL_FRONT_AND_BACK, material);
        glEnable(GL_COLOR_MATERIAL);
    }
    if (kind & kDiffuseLight) glEnable(light);
    applyPosition();
}

void LightSource::applyPosition() const { glLightfv(static_cast<GLenum>(id), GL_POSITION, position.data()); }

}  // namespace glview
