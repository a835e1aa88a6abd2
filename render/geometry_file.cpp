#include "render/geometry_file.h"

#include "core/c_locale.h"
#include "core/fatal_error.h"
#include "render/data_file_read.h"
#include "render/geometry_mesh.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Walks the content lines of the text, reading numbers off each.
class ClGeometryLines {
public:
    ClGeometryLines(const char* text, u32 length, const char* fileName)
        : m_text(text), m_end(text + length), m_fileName(fileName) {}

    // Moves to the next line that holds more than blanks and carriage returns; the end of the
    // text is fatal (the counts announced more lines).
    void next(const char* wanted) {
        while (m_text < m_end) {
            const char* lineEnd = m_text;
            while (lineEnd < m_end && *lineEnd != '\n') ++lineEnd;
            m_line.assign(m_text, lineEnd);
            ++m_lineNumber;
            m_text = lineEnd < m_end ? lineEnd + 1 : m_end;
            if (m_line.find_first_not_of(" \t\r") != std::string::npos) {
                m_read = m_line.c_str();
                return;
            }
        }
        fatalErrorf("geometry file %s: ends at line %u where %s was expected", m_fileName, m_lineNumber, wanted);
    }

    s32 readInt(const char* wanted) {
        char* end = nullptr;
        const long value = std::strtol(m_read, &end, 10);
        if (end == m_read) fail(wanted);
        m_read = end;
        return value > 0x7FFFFFFFL ? 0x7FFFFFFF : (value < -0x7FFFFFFFL ? -0x7FFFFFFF : s32(value));
    }

    f32 readFloat(const char* wanted) {
        char* end = nullptr;
        const f32 value = f32(strtod_l(m_read, &end, cLocale()));
        if (end == m_read) fail(wanted);
        // An infinity or a NaN (written, or a number too large for a float) has no place in space.
        if (!std::isfinite(value)) {
            fatalErrorf("geometry file %s: line %u: %s is not a finite number in \"%s\"", m_fileName, m_lineNumber,
                        wanted, m_line.c_str());
        }
        m_read = end;
        return value;
    }

    u32 readIndex(u32 vertexCount) {
        const s32 index = readInt("a vertex index");
        if (index < 0 || u32(index) >= vertexCount) {
            fatalErrorf("geometry file %s: line %u: vertex index %d out of range (%u vertices)", m_fileName,
                        m_lineNumber, index, vertexCount);
        }
        return u32(index);
    }

    [[noreturn]] void fail(const char* wanted) {
        fatalErrorf("geometry file %s: line %u: %s expected in \"%s\"", m_fileName, m_lineNumber, wanted,
                    m_line.c_str());
    }

    u32 lineNumber() const { return m_lineNumber; }

private:
    const char* m_text;
    const char* m_end;
    const char* m_fileName;
    std::string m_line;
    const char* m_read = "";
    u32 m_lineNumber = 0;
};

s32 readCount(ClGeometryLines* lines, const char* what) {
    lines->next(what);
    return lines->readInt(what);
}

void appendNumber(std::string* out, f32 value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out->append(buffer, result.ptr);
}

}  // namespace

ClGeometryMesh* parseGeometryText(const char* text, u32 length, const char* fileName, f32 scale) {
    ClGeometryLines lines(text, length, fileName);
    auto mesh = std::make_unique<ClGeometryMesh>();
    mesh->init();
    const s32 vertexCount = readCount(&lines, "the vertex count");
    if (vertexCount > s32(GEOMETRY_MESH_MAX_VERTICES)) {
        fatalErrorf("geometry file %s: line %u: %d vertices, at most %u", fileName, lines.lineNumber(), vertexCount,
                    GEOMETRY_MESH_MAX_VERTICES);
    }
    for (s32 i = 0; i < vertexCount; ++i) {
        lines.next("a vertex");
        const f32 x = lines.readFloat("x"), y = lines.readFloat("y"), z = lines.readFloat("z");
        mesh->addVertex(ClVec3(scale * x, scale * z, -scale * y));
    }
    const u32 vertices = mesh->vertices.count;
    const s32 edgeCount = readCount(&lines, "the edge count");
    for (s32 i = 0; i < edgeCount; ++i) {
        lines.next("an edge");
        const u32 a = lines.readIndex(vertices), b = lines.readIndex(vertices);
        mesh->addEdge(a, b);
    }
    const s32 triangleCount = readCount(&lines, "the triangle count");
    for (s32 i = 0; i < triangleCount; ++i) {
        lines.next("a triangle");
        const u32 a = lines.readIndex(vertices), b = lines.readIndex(vertices), c = lines.readIndex(vertices);
        mesh->addTriangle(a, b, c);
    }
    mesh->finishBounds();
    return mesh.release();
}

ClGeometryMesh* loadGeometryMesh(const char* name, f32 scale) {
    const std::string path = std::string("Geometry/") + name + ".qlt";
    std::vector<u8> bytes;
    if (!readPackagedDataFile(path.c_str(), &bytes)) fatalErrorf("loadGeometryMesh: cannot read %s", path.c_str());
    return parseGeometryText(reinterpret_cast<const char*>(bytes.data()), u32(bytes.size()), path.c_str(), scale);
}

std::string formatGeometryText(const ClGeometryMesh& mesh, f32 scale) {
    std::string out = std::to_string(mesh.vertices.count) + "\n";
    for (const ClVec3& v : mesh.vertices) {
        appendNumber(&out, v.x / scale);
        out += ' ';
        appendNumber(&out, -v.z / scale);
        out += ' ';
        appendNumber(&out, v.y / scale);
        out += '\n';
    }
    out += std::to_string(mesh.edges.count) + "\n";
    for (const SMeshEdge& e : mesh.edges) out += std::to_string(e.index[0]) + " " + std::to_string(e.index[1]) + "\n";
    out += std::to_string(mesh.triangles.count) + "\n";
    for (const SMeshTriangle& t : mesh.triangles) {
        out += std::to_string(t.index[0]) + " " + std::to_string(t.index[1]) + " " + std::to_string(t.index[2]) + "\n";
    }
    return out;
}
