#include "assets/model.h"

#include "app/gl.h"

MeshPart::~MeshPart() {
    if (buffer != 0 && glDeleteBuffersARB) {
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        glDeleteBuffersARB(1, &buffer);
    }
}

Mesh::Mesh() { sm::identity(matrix); }

Mesh::~Mesh() {
    for (MeshPart* part : parts) delete part;
}

Model::~Model() {
    for (Mesh* mesh : meshes) delete mesh;
}
