#!/usr/bin/env python3
"""Writes HEIF and PDF files of a chosen structure for the structure checks'
tests and the picture fuzzer's seeds: phone-like grids and their hostile
twins, streams that declare other sizes than their boxes, page trees, images
and content streams of any size, laid out with a cross-reference table or
with object and cross-reference streams.

    containers.py heif-grid TILE.heic OUT ROWS COLUMNS WIDTH HEIGHT [shared|distinct] [thumb THUMB.heic] [exif]
    containers.py heif-resize SOURCE OUT WIDTH HEIGHT      (the HEVC or AV1 stream declares this size)
    containers.py heif-nest SOURCE OUT DEPTH               (property boxes nested DEPTH deep)
    containers.py heif-overrun SOURCE OUT                  (a property box runs past its parent)
    containers.py pdf KIND OUT [ARG] [objstm] [broken-xref] [form]
        KIND: image WIDTH,HEIGHT[,DATA_BYTES] | deep LEVELS | blanks MIB | art
"""
import struct
import sys
import zlib


# --- ISO base media boxes -------------------------------------------------

def box(kind, body):
    return struct.pack('>I4s', 8 + len(body), kind) + body


def full_box(kind, version, flags, body):
    return box(kind, struct.pack('>I', version << 24 | flags) + body)


def children(data, start, end):
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack('>I4s', data[at:at + 8])
        yield kind, at, size
        at += size


SKIP = {b'meta': 4, b'iprp': 0, b'ipco': 0}


def find(data, path, start=0, end=None):
    """The body of the box at `path` (types from the top)."""
    end = len(data) if end is None else end
    for kind, at, size in children(data, start, end):
        if kind == path[0]:
            if len(path) == 1:
                return data[at + 8:at + size]
            return find(data, path[1:], at + 8 + SKIP.get(kind, 0), at + size)
    return None


def coded_picture(path):
    """The configuration box (type, body) and coded data of a one-picture
    HEIF or AVIF file as heif-enc and avifenc write them."""
    data = open(path, 'rb').read()
    for kind in (b'hvcC', b'av1C'):
        config = find(data, [b'meta', b'iprp', b'ipco', kind])
        if config is not None:
            break
    iloc = find(data, [b'meta', b'iloc'])
    version = iloc[0]
    offset_size, length_size = iloc[4] >> 4, iloc[4] & 15
    base_size = iloc[5] >> 4
    at = 8 if version < 2 else 10  # after the item count
    at += 2 + (2 if version >= 1 else 0) + 2  # item id, method, data reference
    base = int.from_bytes(data[0:0] + iloc[at:at + base_size], 'big') if base_size else 0
    at += base_size + 2  # extent count (one)
    offset = int.from_bytes(iloc[at:at + offset_size], 'big')
    length = int.from_bytes(iloc[at + offset_size:at + offset_size + length_size], 'big')
    return kind, config, data[base + offset:base + offset + length]


def ispe(width, height):
    return full_box(b'ispe', 0, 0, struct.pack('>II', width, height))


def heif_file(brand, items, properties, associations, references, primary):
    """items: [(id, type, hidden, where, data)], where is 'idat' or a key
    naming its copy in mdat (items with one key share one copy);
    properties: boxes; associations: {id: [property index from 1, ...]};
    references: [(type, from, [to, ...])]."""
    infe = [full_box(b'infe', 2, 1 if hidden else 0, struct.pack('>HH4s', i, 0, kind) + b'\0')
            for i, kind, hidden, _, _ in items]
    iinf = full_box(b'iinf', 0, 0, struct.pack('>H', len(infe)) + b''.join(infe))
    iref = full_box(b'iref', 0, 0, b''.join(
        box(kind, struct.pack('>HH', src, len(to)) + b''.join(struct.pack('>H', t) for t in to))
        for kind, src, to in references)) if references else b''
    ipma = full_box(b'ipma', 0, 0, struct.pack('>I', len(associations)) + b''.join(
        struct.pack('>HB', i, len(props)) + bytes(p | 0x80 for p in props)
        for i, props in sorted(associations.items())))
    iprp = box(b'iprp', box(b'ipco', b''.join(properties)) + ipma)
    hdlr = full_box(b'hdlr', 0, 0, b'\0' * 4 + b'pict' + b'\0' * 13)
    pitm = full_box(b'pitm', 0, 0, struct.pack('>H', primary))
    idat = b''.join(data for _, _, _, where, data in items if where == 'idat')
    copies, mdat = {}, bytearray()
    for _, _, _, where, data in items:
        if where != 'idat' and where not in copies:
            copies[where] = len(mdat)
            mdat += data

    def layout(mdat_at):
        entries, idat_at = bytearray(), 0
        for i, _, _, where, data in items:
            if where == 'idat':
                entries += struct.pack('>HHHHII', i, 1, 0, 1, idat_at, len(data))
                idat_at += len(data)
            else:
                entries += struct.pack('>HHHHII', i, 0, 0, 1, mdat_at + 8 + copies[where], len(data))
        iloc = full_box(b'iloc', 1, 0, bytes([0x44, 0x00]) + struct.pack('>H', len(items)) + bytes(entries))
        meta = full_box(b'meta', 0, 0, hdlr + pitm + iloc + iinf + iref + iprp + (box(b'idat', idat) if idat else b''))
        return box(b'ftyp', brand + b'\0\0\0\0' + b'mif1' + brand + b'miaf') + meta
    head = layout(0)
    head = layout(len(head))
    return head + box(b'mdat', bytes(mdat))


def picture_size(path):
    data = open(path, 'rb').read()
    return struct.unpack('>II', find(data, [b'meta', b'iprp', b'ipco', b'ispe'])[4:12])


def heif_grid(tile_path, out, rows, columns, width, height, mode='distinct', thumb=None, exif=False):
    """A grid picture as phones store one: tiles of one coded picture, each
    its own hidden item. mode 'distinct': each tile with its own copy of the
    data; 'same-data': every tile item pointing at one copy; 'shared': the
    grid naming one tile item every time. Then a thumbnail and an Exif
    item when asked for."""
    kind, config, data = coded_picture(tile_path)
    coded = b'hvc1' if kind == b'hvcC' else b'av01'
    tile_width, tile_height = picture_size(tile_path)
    properties = [box(kind, config), ispe(tile_width, tile_height), ispe(width, height)]
    items = [(1, b'grid', False, 'idat', struct.pack('>BBBBII', 0, 1, rows - 1, columns - 1, width, height))]
    associations = {1: [3]}
    count = 1 if mode == 'shared' else rows * columns
    for n in range(count):
        items.append((2 + n, coded, True, n if mode == 'distinct' else 0, data))
        associations[2 + n] = [1, 2]
    references = [(b'dimg', 1, [2 + (0 if mode == 'shared' else n) for n in range(rows * columns)])]
    next_id = 2 + count
    if thumb:
        thumb_kind, thumb_config, thumb_data = coded_picture(thumb)
        properties += [box(thumb_kind, thumb_config), ispe(*picture_size(thumb))]
        items.append((next_id, coded, False, 'thumb', thumb_data))
        associations[next_id] = [len(properties) - 1, len(properties)]
        references.append((b'thmb', next_id, [1]))
        next_id += 1
    if exif:
        items.append((next_id, b'Exif', False, 'exif', b'\0\0\0\6Exif\0\0MM\0*\0\0\0\x08\0\0'))
        references.append((b'cdsc', next_id, [1]))
    brand = b'heic' if coded == b'hvc1' else b'avif'
    open(out, 'wb').write(heif_file(brand, items, properties, associations, references, 1))


# --- Coded streams declaring another size ----------------------------------

class BitReader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def u(self, count):
        value = 0
        for _ in range(count):
            value = value << 1 | (self.data[self.at >> 3] >> (7 - (self.at & 7))) & 1
            self.at += 1
        return value

    def golomb(self):
        zeros = 0
        while self.u(1) == 0:
            zeros += 1
        return (1 << zeros) - 1 + self.u(zeros)

    def rest(self, writer):
        while self.at < len(self.data) * 8:
            writer.u(1, self.u(1))


class BitWriter:
    def __init__(self):
        self.bits = []

    def u(self, count, value):
        self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]

    def golomb(self, value):
        value += 1
        self.u(value.bit_length() - 1, 0)
        self.u(value.bit_length(), value)

    def copy(self, reader, count):
        for _ in range(count):
            self.u(1, reader.u(1))

    def bytes(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int(''.join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def unescape(nal):
    out, zeros = bytearray(), 0
    for b in nal:
        if zeros >= 2 and b == 3:
            zeros = 0
            continue
        out.append(b)
        zeros = zeros + 1 if b == 0 else 0
    return bytes(out)


def escape(rbsp):
    out, zeros = bytearray(), 0
    for b in rbsp:
        if zeros >= 2 and b <= 3:
            out.append(3)
            zeros = 0
        out.append(b)
        zeros = zeros + 1 if b == 0 else 0
    return bytes(out)


def resized_sps(nal, width, height):
    r, w = BitReader(unescape(nal[2:])), BitWriter()
    w.copy(r, 4)
    layers = r.u(3)
    w.u(3, layers)
    w.copy(r, 1 + 96)
    flags = []
    for _ in range(layers):
        flags.append((r.u(1), r.u(1)))
        w.u(1, flags[-1][0])
        w.u(1, flags[-1][1])
    if layers:
        w.copy(r, 2 * (8 - layers))
    for profile, level in flags:
        w.copy(r, 88 * profile + 8 * level)
    w.golomb(r.golomb())
    chroma = r.golomb()
    w.golomb(chroma)
    if chroma == 3:
        w.copy(r, 1)
    r.golomb()
    r.golomb()
    w.golomb(width)
    w.golomb(height)
    r.rest(w)
    return nal[:2] + escape(w.bytes())


def resized_hvcC(config, width, height):
    out, at = bytearray(config[:23]), 23
    for _ in range(config[22]):
        kind = config[at] & 0x3F
        units = struct.unpack('>H', config[at + 1:at + 3])[0]
        out += config[at:at + 3]
        at += 3
        for _ in range(units):
            size = struct.unpack('>H', config[at:at + 2])[0]
            nal = config[at + 2:at + 2 + size]
            at += 2 + size
            if kind == 33:
                nal = resized_sps(nal, width, height)
            out += struct.pack('>H', len(nal)) + nal
    return bytes(out)


def resized_sequence_header(payload, width, height):
    """An AV1 sequence header (reduced, as for still pictures) declaring frames of width x height."""
    r, w = BitReader(payload), BitWriter()
    w.copy(r, 4)
    reduced = r.u(1)
    if not reduced:
        raise ValueError('only reduced still picture headers are rewritten')
    w.u(1, reduced)
    w.copy(r, 5)
    width_bits, height_bits = r.u(4) + 1, r.u(4) + 1
    r.u(width_bits)
    r.u(height_bits)
    w.u(4, 15)
    w.u(4, 15)
    w.u(16, width - 1)
    w.u(16, height - 1)
    r.rest(w)
    return w.bytes()


def resized_obus(data, width, height):
    out, at = bytearray(), 0
    while at < len(data):
        header = data[at]
        used = 2 if header & 4 else 1
        size, shift = 0, 0
        while True:
            byte = data[at + used]
            used += 1
            size |= (byte & 0x7F) << shift
            shift += 7
            if not byte & 0x80:
                break
        payload = data[at + used:at + used + size]
        if (header >> 3) & 15 == 1:
            payload = resized_sequence_header(payload, width, height)
        out += data[at:at + (2 if header & 4 else 1)] + leb128(len(payload)) + payload
        at += used + size
    return bytes(out)


def leb128(n):
    out = bytearray()
    while True:
        out.append(n & 0x7F | (0x80 if n > 0x7F else 0))
        n >>= 7
        if not n:
            return bytes(out)


def single_picture(source, out, extra_properties=(), config=None, data=None, ipco=None):
    kind, original, coded_data = coded_picture(source)
    config = original if config is None else config
    data = coded_data if data is None else data
    coded = b'hvc1' if kind == b'hvcC' else b'av01'
    properties = [box(kind, config), ispe(*picture_size(source))] + list(extra_properties)
    brand = b'heic' if coded == b'hvc1' else b'avif'
    file = heif_file(brand, [(1, coded, False, 0, data)], properties, {1: [1, 2]}, [], 1)
    open(out, 'wb').write(file)


def heif_resize(source, out, width, height):
    """The picture of `source` under its own ispe box, its stream declaring width x height."""
    kind, config, data = coded_picture(source)
    if kind == b'hvcC':
        single_picture(source, out, config=resized_hvcC(config, width, height))
    else:
        single_picture(source, out, data=resized_obus(data, width, height))


def heif_nest(source, out, depth):
    nested = b''
    for _ in range(depth):
        nested = box(b'ipco', nested)
    single_picture(source, out, extra_properties=[nested])


def heif_overrun(source, out):
    # A property whose size claims more than the ipco box that holds it.
    single_picture(source, out, extra_properties=[struct.pack('>I4s', 4000, b'free') + b'\0' * 8])


# --- PDF --------------------------------------------------------------------

def pdf_stream(dictionary, data, compress=True):
    if compress:
        data = zlib.compress(data, 9)
        dictionary += b' /Filter /FlateDecode'
    return ('stream', dictionary, data)


def pdf_file(objects, root, objstm=False, broken_xref=False):
    """objects: {number: body bytes or pdf_stream(...)}; written with a
    cross-reference table, or with the non-stream objects in an object
    stream and a cross-reference stream (PNG predictor, as Acrobat writes)."""
    out = bytearray(b'%PDF-1.7\n%\xe2\xe3\xcf\xd3\n')
    where = {}
    plain = {n: body for n, body in objects.items() if not isinstance(body, tuple)}
    streams = {n: body for n, body in objects.items() if isinstance(body, tuple)}
    size = max(objects) + 1 + (2 if objstm else 0)

    def write(number, body):
        where[number] = ('file', len(out))
        if isinstance(body, tuple):
            _, dictionary, data = body
            out.extend(b'%d 0 obj\n<< %s /Length %d >>\nstream\n' % (number, dictionary, len(data)) + data
                       + b'\nendstream\nendobj\n')
        else:
            out.extend(b'%d 0 obj\n' % number + body + b'\nendobj\n')

    if objstm:
        holder = size - 2
        header, body = bytearray(), bytearray()
        for index, (number, value) in enumerate(sorted(plain.items())):
            header += b'%d %d ' % (number, len(body))
            body += value + b'\n'
            where[number] = ('stream', holder, index)
        header, body = bytes(header), bytes(body)
        write(holder, pdf_stream(b'/Type /ObjStm /N %d /First %d' % (len(plain), len(header)), header + body))
    else:
        for number, body in sorted(plain.items()):
            write(number, body)
    for number, body in sorted(streams.items()):
        write(number, body)
    start = len(out)
    if objstm:
        xref = size - 1
        where[xref] = ('file', start)
        rows = []
        for number in range(size):
            kind = where.get(number)
            if kind is None:
                rows.append(struct.pack('>BII', 0, 0, 0))
            elif kind[0] == 'file':
                rows.append(struct.pack('>BII', 1, kind[1], 0))
            else:
                rows.append(struct.pack('>BII', 2, kind[1], kind[2]))
        # PNG "Up" predictor on rows of nine bytes.
        data, previous = bytearray(), bytes(9)
        for row in rows:
            data += b'\x02' + bytes((a - b) & 0xFF for a, b in zip(row, previous))
            previous = row
        data = bytes(data)
        out.extend(b'%d 0 obj\n<< /Type /XRef /Size %d /W [1 4 4] /Root %d 0 R /Filter /FlateDecode '
                   b'/DecodeParms << /Predictor 12 /Columns 9 >> /Length %d >>\nstream\n'
                   % (xref, size, root, len(zlib.compress(data, 9))) + zlib.compress(data, 9)
                   + b'\nendstream\nendobj\n')
    else:
        out.extend(b'xref\n0 %d\n0000000000 65535 f \n' % size)
        for number in range(1, size):
            offset = where.get(number, ('file', 0))[1]
            out.extend(b'%010d 00000 %s \n' % (offset, b'n' if number in where else b'f'))
        out.extend(b'trailer\n<< /Size %d /Root %d 0 R >>\n' % (size, root))
    out.extend(b'startxref\n%d\n%%%%EOF\n' % (start + 7 if broken_xref else start))
    return bytes(out)


def pdf_document(kind, argument, objstm=False, broken_xref=False, form=False):
    """One page of 100 x 100 points. kind 'image': it draws an image of
    WIDTH,HEIGHT[,DATA_BYTES] (the data given, or as much as the image
    needs, all zeros; deflated; its size in objects of their own); 'deep': its page tree is
    LEVELS deep; 'blanks': its drawing instructions inflate to MIB MiB of
    blanks; 'art': a filled circle and a small image, all real."""
    objects = {1: b'<< /Type /Catalog /Pages 2 0 R >>'}
    content = b'0.2 0.4 0.8 rg 50 50 m 90 50 l 50 90 l f\n'
    resources = b'<< >>'
    parent = 2
    if kind in ('image', 'art'):
        width, height, *rest = [int(v) for v in (argument if kind == 'image' else '64,64').split(',')]
        if rest:
            data = bytes(rest[0])
        elif kind == 'image':
            data = bytes(width * height * 3)
        else:
            data = (bytes(range(256)) * (width * height * 3 // 256 + 1))[:width * height * 3]
        objects[10] = b'%d' % width
        objects[11] = b'%d' % height
        objects[12] = pdf_stream(b'/Type /XObject /Subtype /Image /Width 10 0 R /Height 11 0 R '
                                 b'/ColorSpace /DeviceRGB /BitsPerComponent 8', data)
        if form:
            objects[13] = pdf_stream(b'/Type /XObject /Subtype /Form /BBox [0 0 100 100] '
                                     b'/Resources << /XObject << /Im1 12 0 R >> >>', b'q 40 0 0 40 5 5 cm /Im1 Do Q')
            resources = b'<< /XObject << /Fm1 13 0 R >> >>'
            content += b'/Fm1 Do\n'
        else:
            resources = b'<< /XObject << /Im1 12 0 R >> >>'
            content += b'q 40 0 0 40 5 5 cm /Im1 Do Q\n'
    if kind == 'deep':
        levels = int(argument)
        for level in range(levels):
            number = 100 + level
            objects[number if level else 2] = b'<< /Type /Pages /Kids [%d 0 R] /Count 1 >>' % (number + 1)
        parent = 100 + levels - 1
        objects[100 + levels] = b'<< /Type /Page /Parent %d 0 R /MediaBox [0 0 100 100] /Contents 4 0 R >>' % parent
    else:
        objects[2] = b'<< /Type /Pages /Kids [3 0 R] /Count 1 >>'
        objects[3] = b'<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] /Resources %s /Contents 4 0 R >>' % resources
    if kind == 'blanks':
        z = zlib.compressobj(9)
        data = b''.join(z.compress(b' ' * (1 << 20)) for _ in range(int(argument))) + z.compress(content) + z.flush()
        objects[4] = ('stream', b'/Filter /FlateDecode', data)
    else:
        objects[4] = pdf_stream(b'', content)
    return pdf_file(objects, 1, objstm, broken_xref)


def main(argv):
    command = argv[1]
    if command == 'heif-grid':
        tile, out, rows, columns, width, height = argv[2:8]
        mode = argv[8] if len(argv) > 8 and argv[8] in ('distinct', 'same-data', 'shared') else 'distinct'
        thumb = argv[argv.index('thumb') + 1] if 'thumb' in argv else None
        heif_grid(tile, out, int(rows), int(columns), int(width), int(height), mode, thumb, 'exif' in argv)
    elif command == 'heif-resize':
        heif_resize(argv[2], argv[3], int(argv[4]), int(argv[5]))
    elif command == 'heif-nest':
        heif_nest(argv[2], argv[3], int(argv[4]))
    elif command == 'heif-overrun':
        heif_overrun(argv[2], argv[3])
    elif command == 'pdf':
        kind, out = argv[2], argv[3]
        argument = argv[4] if len(argv) > 4 and argv[4] not in ('objstm', 'broken-xref', 'form') else ''
        open(out, 'wb').write(pdf_document(kind, argument, 'objstm' in argv, 'broken-xref' in argv, 'form' in argv))
    else:
        sys.exit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
