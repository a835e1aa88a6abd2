#include "render/geometry_mesh.h"

#include "core/fatal_error.h"

namespace {

u8 vertexByte(const ClGeometryMesh& mesh, u32 index) {
    if (index >= GEOMETRY_MESH_MAX_VERTICES || index >= mesh.vertices.count) {
        fatalErrorf("ClGeometryMesh: vertex index %u out of range (%u vertices)", index, mesh.vertices.count);
    }
    return u8(index);
}

template <typename T>
void copyList(ClArray<T>* target, const ClArray<T>& source) {
    target->init();
    for (const T& element : source) target->push(element);
}

}  // namespace

void ClGeometryMesh::init() {
    vertices.init();
    texCoords.init();
    triangles.init();
    texturedTriangles.init();
    edges.init();
    boundingSphere.clear();
    boundingVolumes.reset();
    detail = GEOMETRY_MESH_DETAIL_DEFAULT;
    material = 0;
}

void ClGeometryMesh::clear() {
    vertices.release();
    texCoords.release();
    triangles.release();
    texturedTriangles.release();
    edges.release();
    boundingVolumes.release();
}

void ClGeometryMesh::assign(const ClGeometryMesh& source) {
    copyList(&vertices, source.vertices);
    copyList(&texCoords, source.texCoords);
    copyList(&triangles, source.triangles);
    copyList(&texturedTriangles, source.texturedTriangles);
    copyList(&edges, source.edges);
    boundingSphere = source.boundingSphere;
    boundingVolumes.reset();
    for (u32 i = 0; i < source.boundingVolumes.count(); ++i) boundingVolumes.push(source.boundingVolumes[i]);
    detail = source.detail;
    material = source.material;
}

u32 ClGeometryMesh::addVertex(const ClVec3& position) { return vertices.push(position) - 1; }

void ClGeometryMesh::addEdge(u32 a, u32 b) { edges.push(SMeshEdge{{vertexByte(*this, a), vertexByte(*this, b)}}); }

void ClGeometryMesh::addTriangle(u32 a, u32 b, u32 c) {
    triangles.push(SMeshTriangle{{vertexByte(*this, a), vertexByte(*this, b), vertexByte(*this, c)}});
}

void ClGeometryMesh::finishBounds() {
    boundingSphere.setSphereFromPoints(vertices.count, vertices.data);
    boundingVolumes.push(SCollisionSphere{E_BOUNDS_SPHERE, boundingSphere.radius, boundingSphere.centre,
                                          boundingSphere.centre});
}
