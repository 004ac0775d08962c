#include "views/gl_shaders.h"

namespace q3d {

// Lighting happens in root (scene) coordinates: an ambient term plus one directional
// light, modulating the mesh colour and the texture. Surfaces are lit on the side the
// camera sees, whichever way their triangles wind (the mesh's x axis is mirrored and the
// X, Y, Z keys may mirror it again). Gouraud shading lights the vertices; flat shading
// lights each fragment with its triangle's normal.
const char* const kMeshVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;

uniform mat4 uModelToRoot;
uniform mat4 uRootToClip;
uniform mat3 uNormalToRoot;
uniform vec3 uCameraPosition;
uniform vec3 uLightDirection;
uniform vec3 uLightColor;
uniform vec3 uAmbientColor;
uniform bool uLighting;

out vec3 vRootPosition;
out vec3 vRootNormal;
out vec2 vTexCoord;
out vec3 vGouraudLight;

vec3 Illumination(vec3 n) {
  return clamp(uAmbientColor + uLightColor * max(dot(n, -uLightDirection), 0.0), 0.0, 1.0);
}

void main() {
  vec4 root = uModelToRoot * vec4(aPosition, 1.0);
  vRootPosition = root.xyz;
  vec3 normal = normalize(uNormalToRoot * aNormal);
  vRootNormal = dot(normal, uCameraPosition - root.xyz) < 0.0 ? -normal : normal;
  vTexCoord = aTexCoord;
  vGouraudLight = uLighting ? Illumination(vRootNormal) : vec3(1.0);
  gl_Position = uRootToClip * root;
}
)";

const char* const kMeshFragmentShader = R"(#version 330 core
in vec3 vRootPosition;
in vec3 vRootNormal;
in vec2 vTexCoord;
in vec3 vGouraudLight;

uniform vec3 uCameraPosition;
uniform vec3 uLightDirection;
uniform vec3 uLightColor;
uniform vec3 uAmbientColor;
uniform bool uLighting;
uniform bool uFlat;
uniform bool uTextured;
uniform sampler2D uTexture;
uniform vec3 uMeshColor;

out vec4 fragColor;

vec3 Illumination(vec3 n) {
  return clamp(uAmbientColor + uLightColor * max(dot(n, -uLightDirection), 0.0), 0.0, 1.0);
}

void main() {
  vec3 light = vGouraudLight;
  if (uLighting && uFlat) {
    vec3 face = cross(dFdx(vRootPosition), dFdy(vRootPosition));
    float len = length(face);
    vec3 n = len > 1e-20 ? face / len : vRootNormal;
    if (dot(n, uCameraPosition - vRootPosition) < 0.0) n = -n;
    light = Illumination(n);
  }
  vec3 color = uMeshColor * light;
  if (uTextured) color *= texture(uTexture, vTexCoord).rgb;
  fragColor = vec4(color, 1.0);
}
)";

}  // namespace q3d
