#include "world/atoms/atom_edges.h"

#include "core/matrix44.h"
#include "core/prefetch.h"
#include "core/random.h"
#include "render/geometry_mesh.h"
#include "render/particle_system.h"

#include <algorithm>
#include <cstddef>

void initEdgeRecords(ClArray<SBodyEdgeRecord>* records, const ClGeometryMesh* mesh) {
    const u32 edgeCount = mesh ? mesh->edges.count : 0;
    records->init(edgeCount ? 2 * edgeCount : ARRAY_INITIAL_CAPACITY);
    for (u32 i = 0; i < edgeCount; ++i) {
        const SMeshEdge& edge = mesh->edges.data[i];
        SBodyEdgeRecord record = {};
        record.length = (mesh->vertices.data[edge.index[1]] - mesh->vertices.data[edge.index[0]]).length();
        records->push(record);
    }
}

void releaseEdgeRecords(ClArray<SBodyEdgeRecord>* records) {
    for (u32 i = 0; i < records->count; ++i) records->data[i].glintCount = 0;
    records->release();
}

void prefetchEdgeRecords(const ClArray<SBodyEdgeRecord>& records, u32 glintsRead) {
    const u32 hot = u32(offsetof(SBodyEdgeRecord, glints) + std::min(glintsRead, EDGE_GLINT_CAPACITY) * sizeof(SEdgeGlint));
    const char* first = reinterpret_cast<const char*>(records.data);
    for (u32 e = 0; e < records.count; ++e) {
        const char* record = first + e * sizeof(SBodyEdgeRecord);
        prefetchLine(record);
        prefetchLine(record + hot - 1);
    }
}

void refreshEdgeGlints(ClArray<SBodyEdgeRecord>* records, const SGlintRule& rule, f32 intensity) {
    const u32 perEdge = std::min(rule.perEdge, EDGE_GLINT_CAPACITY);
    SBodyEdgeRecord* const end = records->data + records->count;
    for (SBodyEdgeRecord* at = records->data; at != end; ++at) {
        SBodyEdgeRecord& record = *at;
        if (record.length < EDGE_GLINT_MIN_LENGTH) continue;
        u32 count = record.glintCount;
        for (u32 i = count; i-- > 0;)
            if (!record.glints[i].segment.update()) record.glints[i] = record.glints[--count];
        record.glintCount = count;
        while (record.glintCount < perEdge) {
            SEdgeGlint& glint = record.glints[record.glintCount++];
            const f32 speed = randomWithVariance((10.0f + 240.0f * intensity) / record.length, 0.5f);
            const f32 span = randomWithVariance(
                rule.spanFactor * ((record.length / 10.0f) * 29.49f + 10.51f) / record.length, 0.95f);
            if (rule.randomStart)
                glint.segment.initAtRandomOffset(1.0f, span, speed);
            else
                glint.segment.init(1.0f, span, speed);
            glint.widthFactor = randomFloatInRange(0.5f, 1.5f);
        }
    }
}

u32 transformMeshVertices(const ClGeometryMesh& mesh, const ClMatrix44& world, ClVec3* out) {
    const u32 count = std::min(mesh.vertices.count, GEOMETRY_MESH_MAX_VERTICES);
    world.transformPointArray(mesh.vertices.data, count, out);
    return count;
}
