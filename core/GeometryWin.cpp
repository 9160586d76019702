#include "Geometry.h"
#include "TraceStream.h"

TraceStream& WriteRect(TraceStream& stream, const RECT& r)
{
    return stream.AppendString("top - ")
        .AppendInt(r.top)
        .AppendString(" left - ")
        .AppendInt(r.left)
        .AppendString(" bottom - ")
        .AppendInt(r.bottom)
        .AppendString(" right - ")
        .AppendInt(r.right);
}
