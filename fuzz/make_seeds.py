#!/usr/bin/env python3
"""Writes the seed corpora of the table, memo, index and video targets.

    python3 fuzz/make_seeds.py BUILD          the committed seeds, into fuzz/corpus/: tables,
                                              memos and indexes of a five-film demo catalogue
                                              our own engine writes (welarik-dbf of BUILD), and
                                              video headers laid out here by hand
    python3 fuzz/make_seeds.py --samples DIR  seeds cut from the shared sample files
                                              (../shared/fixtures/dbase from the project's root)
                                              into DIR/TARGET/; those files stay where they are
                                              and are never copied into the project, so the fuzz
                                              run makes these seeds afresh each time

Every seed is cut to a few records or blocks so it stays small.
"""
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = os.path.join(ROOT, '..', 'shared', 'fixtures', 'dbase')
CORPUS = os.path.join(ROOT, 'fuzz', 'corpus')
MAX_SEED = 4096


def write(target, name, data, root=CORPUS):
    folder = os.path.join(root, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as out:
        out.write(data)


def sample(path):
    with open(os.path.join(SAMPLES, path), 'rb') as f:
        return f.read()


def cut_table(data, records):
    """The header, descriptors and the first `records` records, with the count set to match."""
    count, header, length = struct.unpack('<IHH', data[4:12])
    keep = min(count, records)
    while keep > 0 and header + keep * length > MAX_SEED:
        keep -= 1
    body = data[:header + keep * length]
    return body[:4] + struct.pack('<I', keep) + body[8:] + b'\x1a'


TABLES = ['jdbfdriver/TEST.DBF', 'tdbf/DBASE3+.dbf', 'tdbf/DBASE4.dbf', 'tdbf/DBASEWIN.dbf',
          'tdbf/VisualDBase.dbf', 'tdbf/TDBF_DEMO.DBF', 'tdbf/disco.DBF',
          'infused-dbf/dbase_8b.dbf', 'perl-dbd-xbase/test.dbf', 'php-xbase/dBaseVII.dbf',
          'xbase64/BENCH.DBF']

# (file, dBase IV style); the fuzz target reads byte 0 as the style and bytes 1-4 as a block.
MEMOS = [('tdbf/DBASE3+.DBT', False), ('perl-dbd-xbase/test.dbt', False),
         ('tdbf/dbase4.dbt', True), ('tdbf/dbasewin.dbt', True), ('tdbf/VisualDBase.dbt', True),
         ('tdbf/TDBF_DEMO.dbt', True), ('infused-dbf/dbase_8b.dbt', True),
         ('php-xbase/dBaseVII.dbt', True), ('xbase64/BENCH.DBT', True)]


INDEXES = ['jdbfdriver/TEST.MDX', 'tdbf/tdbf_demo.mdx']


def riff_chunk(fourcc, payload):
    return fourcc + struct.pack('<I', len(payload)) + payload


def avi(micro_sec_per_frame=40000, frames=1500, width=640, height=352, handler=b'DIVX',
        audio_tag=0x55, channels=2, sample_rate=48000, audio_bytes=16000, with_audio=True,
        riff_size=None):
    main = struct.pack('<10I4I', micro_sec_per_frame, 0, 0, 0x10, frames, 0,
                       2 if with_audio else 1, 0, width, height, 0, 0, 0, 0)
    video_header = b'vids' + handler + bytes(48)
    bitmap = struct.pack('<IiiHH4sIiiII', 40, width, height, 1, 24, handler, 0, 0, 0, 0, 0)
    streams = riff_chunk(b'LIST', b'strl' + riff_chunk(b'strh', video_header)
                         + riff_chunk(b'strf', bitmap))
    if with_audio:
        audio_header = b'auds' + bytes(52)
        wave = struct.pack('<HHIIHHH', audio_tag, channels, sample_rate, audio_bytes, 4, 16, 0)
        streams += riff_chunk(b'LIST', b'strl' + riff_chunk(b'strh', audio_header)
                              + riff_chunk(b'strf', wave))
    header = riff_chunk(b'LIST', b'hdrl' + riff_chunk(b'avih', main) + streams)
    body = b'AVI ' + header + riff_chunk(b'LIST', b'movi')
    size = len(body) if riff_size is None else riff_size
    return b'RIFF' + struct.pack('<I', size) + body


def sample_seeds(root):
    for path in TABLES:
        write('fuzz_dbf', os.path.basename(path), cut_table(sample(path), 3), root)
    for path, dbase4 in MEMOS:
        data = sample(path)[:MAX_SEED - 5]
        write('fuzz_dbt', os.path.basename(path),
              bytes([1 if dbase4 else 0]) + struct.pack('<I', 1) + data, root)
    for path in INDEXES:
        write('fuzz_mdx', os.path.basename(path), sample(path), root)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == '--samples':
        sample_seeds(sys.argv[2])
        return 0
    if len(sys.argv) > 1:
        tool = os.path.join(sys.argv[1], 'tools', 'welarik-dbf')
        with tempfile.TemporaryDirectory() as demo:
            subprocess.run([tool, 'demo', demo, '--films', '5'], check=True,
                           stdout=subprocess.DEVNULL)
            def own(name):
                with open(os.path.join(demo, name), 'rb') as f:
                    return f.read()
            write('fuzz_dbf', 'FILMY.DBF', cut_table(own('FILMY.DBF'), 3))
            write('fuzz_dbf', 'ZNAJOMI.DBF', own('BAZY/ZNAJOMI.DBF'))
            write('fuzz_dbt', 'FILMY.DBT', b'\x01\x01\x00\x00\x00' + own('FILMY.DBT'))
            for name in ['FILMY.MDX', 'BAZY/ZNAJOMI.MDX', 'BAZY/GATUNEKF.MDX']:
                write('fuzz_mdx', os.path.basename(name), own(name))
    write('fuzz_probe', 'divx_mp3.avi', avi(riff_size=734003200))
    write('fuzz_probe', 'cinepak_pcm_mono.avi',
          avi(66667, 300, 320, 240, b'cvid', 0x01, 1, 22050, 44100))
    write('fuzz_probe', 'dib_ac3_surround.avi',
          avi(33367, 90000, 720, 576, b'DIB ', 0x2000, 5, 48000, 56000, riff_size=1468006400))
    write('fuzz_probe', 'video_only.avi', avi(with_audio=False))
    write('fuzz_probe', 'zero_frame_time.avi', avi(micro_sec_per_frame=0))
    write('fuzz_probe', 'short_header.avi', avi()[:100])
    write('fuzz_probe', 'not_avi.wav', b'RIFF' + struct.pack('<I', 36) + b'WAVEfmt ' + bytes(28))
    return 0


if __name__ == '__main__':
    sys.exit(main())
