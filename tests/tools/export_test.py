#!/usr/bin/env python3
"""sk720 export end to end: map layers read back by GDAL and checked against positions computed
here from the records' own bytes, the KML against the world files, the ping table field by field,
and refused input leaving nothing behind.

usage: export_test.py PATH/TO/sk720
"""
import csv
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

SK720 = None
A, F = 6378137.0, 1 / 298.257223563
E2 = F * (2 - F)


def geodetic_to_ecef(lat, lon):
    p, l = math.radians(lat), math.radians(lon)
    n = A / math.sqrt(1 - E2 * math.sin(p) ** 2)
    return n * math.cos(p) * math.cos(l), n * math.cos(p) * math.sin(l), n * (1 - E2) * math.sin(p)


def offset(lat, lon, east, north):
    """The point `east` and `north` metres from (lat, lon) in the local tangent plane: through
    earth-centred coordinates, a way apart from the exporter's radii of curvature."""
    x, y, z = geodetic_to_ecef(lat, lon)
    p, l = math.radians(lat), math.radians(lon)
    x -= east * math.sin(l) + north * math.sin(p) * math.cos(l)
    y += east * math.cos(l) - north * math.sin(p) * math.sin(l)
    z += north * math.cos(p)
    r, lat2 = math.hypot(x, y), math.atan2(z, math.hypot(x, y) * (1 - E2))
    for _ in range(8):
        n = A / math.sqrt(1 - E2 * math.sin(lat2) ** 2)
        lat2 = math.atan2(z, r * (1 - E2 * n * math.cos(lat2) / r))
    return math.degrees(lat2), math.degrees(math.atan2(y, x))


def metres_between(a, b):
    """Distance of two (lat, lon) points a few hundred metres apart, through ECEF."""
    return math.dist(geodetic_to_ecef(*a), geodetic_to_ecef(*b))


def records(path):
    """Every record of a synthesised file: header fields, samples, footer, position in degrees."""
    data, out, pos = read(path), [], 0
    while pos < len(data):
        assert data[pos:pos + 4] == b'DATA', pos
        hs, _, length, dev, angle = struct.unpack_from('<5I', data, pos + 4)
        out.append(dict(offset=pos, length=length, dev=dev, angle=angle,
                        where=tuple(map(math.degrees, struct.unpack_from('<2f', data, pos + 36))),
                        samples=data[pos + hs:pos + length - 8],
                        footer=data[pos + length - 4:pos + length].decode()))
        pos += length
    return out


def read(path, mode='rb'):
    with open(path, mode) as f:
        return f.read()


def run(*args, expect=0):
    p = subprocess.run([SK720, *args], capture_output=True, text=True)
    assert p.returncode == expect, f'{args}: exit {p.returncode}, stderr {p.stderr}'
    return p


def gdalinfo(path):
    return json.loads(subprocess.run(['gdalinfo', '-json', path], capture_output=True,
                                     check=True, text=True).stdout)


def rgba(path, work):
    """The four bands of a PNG, through GDAL's raw writer: (width, height, bytes per band)."""
    raw = os.path.join(work, 'bands.raw')
    subprocess.run(['gdal_translate', '-q', '-of', 'ENVI', '-co', 'INTERLEAVE=BSQ', path, raw],
                   check=True)
    (w, h), data = gdalinfo(path)['size'], read(raw)
    return w, h, [data[i * w * h:(i + 1) * w * h] for i in range(4)]


class ExportTest(unittest.TestCase):
    def setUp(self):
        self.dir = self.enterContext(tempfile.TemporaryDirectory(prefix='sk720-export-'))

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def synth(self, name, *options, turns=1, step=5):
        run('synth', self.path(name), '--turns', str(turns), '--step-index', str(step), *options)
        return self.path(name)

    def test_world_files_put_every_turn_where_the_head_was(self):
        rec = self.synth('track.bin', '--position', '-33.85,151.2', '--track', '60,2', turns=3)
        run('export', rec, '--map', self.path('map'), '--size', '200')
        recs, pings = records(rec), 200  # 1.8 degree steps: each turn one third
        pngs = sorted(f for f in os.listdir(self.path('map')) if f.endswith('.png'))
        self.assertEqual(pngs, ['track_turn0001.png', 'track_turn0002.png', 'track_turn0003.png'])
        boxes, mpp = {}, 20.0 / 200  # 10 m to either edge
        for k, name in enumerate(pngs):
            info = gdalinfo(self.path('map', name))
            self.assertEqual((info['size'], len(info['bands'])), ([200, 200], 4))
            corners = boxes[name] = info['cornerCoordinates']
            # The head is the centre of pixel 100: the image reaches 100.5 pixels west and north.
            for corner, e, n in (('upperLeft', -100.5, 100.5), ('upperRight', 99.5, 100.5),
                                 ('lowerLeft', -100.5, -99.5), ('lowerRight', 99.5, -99.5)):
                want = offset(*recs[k * pings + pings // 2]['where'], e * mpp, n * mpp)
                self.assertLess(metres_between(want, corners[corner][::-1]), 0.5, (name, corner))
            self.assertIn('WGS_1984', read(self.path('map', name[:-4] + '.prj'), 'r'))
        # The head moves metres a turn: a box at another turn's place would be found out.
        self.assertGreater(metres_between(recs[0]['where'], recs[-1]['where']), 10.0)

        kml = ET.parse(self.path('map', 'map.kml')).getroot()
        ns = {'k': 'http://www.opengis.net/kml/2.2'}
        overlays = kml.findall('.//k:GroundOverlay', ns)
        self.assertEqual(len(overlays), 3)
        for o in overlays:
            box, c = o.find('k:LatLonBox', ns), boxes[o.find('k:Icon/k:href', ns).text]
            for side, want in (('north', c['upperLeft'][1]), ('south', c['lowerLeft'][1]),
                               ('west', c['upperLeft'][0]), ('east', c['upperRight'][0])):
                self.assertAlmostEqual(float(box.find('k:' + side, ns).text), want, 6)
            self.assertEqual(box.find('k:rotation', ns).text, '0')
        line = kml.find('.//k:Placemark/k:LineString/k:coordinates', ns).text.split()
        track = [[float(v) for v in point.split(',')[:2]][::-1] for point in line]
        for point, rec in ((track[0], recs[0]), (track[-1], recs[-1])):
            self.assertLess(metres_between(point, rec['where']), 0.5)
        # Thinned to half a metre: the records lie centimetres apart, the points no closer.
        gaps = [metres_between(a, b) for a, b in zip(track, track[1:])]
        self.assertTrue(len(track) < len(recs) / 5 and min(gaps) > 0.49, (len(track), min(gaps)))

    def target_layer(self, name, *synth, export=()):
        rec = self.synth(name + '.bin', '--position', '35.1,129.05', '--heading', '75', *synth,
                         step=2)
        run('export', rec, '--map', self.path(name), '--size', '256', *export)
        return rgba(self.path(name, name + '_turn0001.png'), self.dir)

    def test_a_target_appears_at_its_geographic_position_whatever_the_compass(self):
        # The same scene with and without a world-fixed target: the pixels that differ are the
        # target's, whatever the speckle around it.
        w, h, a = self.target_layer('with', '--target', '30,7')
        _, _, b = self.target_layer('without')
        sx = sy = total = 0.0
        for i in range(w * h):
            d = abs(a[0][i] - b[0][i]) + abs(a[1][i] - b[1][i]) + abs(a[2][i] - b[2][i])
            if d > 30:
                sx, sy, total = sx + d * (i % w + 0.5), sy + d * (i // w + 0.5), total + d
        gt = gdalinfo(self.path('with', 'with_turn0001.png'))['geoTransform']
        lon, lat = gt[0] + gt[1] * sx / total, gt[3] + gt[5] * sy / total
        head = records(self.path('with.bin'))[0]['where']
        want = offset(*head, 7 * math.sin(math.radians(30)), 7 * math.cos(math.radians(30)))
        self.assertLess(metres_between(want, (lat, lon)), 0.3)
        # Outside the scanned disc the layer is see-through, inside it opaque.
        self.assertEqual((a[3][0], a[3][w * (h // 2) + w // 2 + 50]), (0, 255))
        # The gyro reads from its own zero: the heading must come out as the compass's, as in
        # the program's north-up view; a head without a compass takes --heading instead.
        gyro = self.target_layer('gyro', '--target', '30,7', '--compass', 'gyro-offset')[2]
        none = self.target_layer('none', '--target', '30,7', '--compass', 'none',
                                 export=('--heading', '75'))[2]
        self.assertTrue(a == gyro and a == none, 'the layer depends on the compass')

    def test_turn_choice_and_summary(self):
        rec = self.synth('r.bin', '--position', '10,20', turns=4)
        p = run('export', rec, '--map', self.path('m'), '--size', '64', '--turns', '2-4', '--every',
                '2')
        self.assertEqual(sorted(os.listdir(self.path('m'))),
                         ['map.kml', 'r_turn0002.pgw', 'r_turn0002.png', 'r_turn0002.prj',
                          'r_turn0004.pgw', 'r_turn0004.png', 'r_turn0004.prj'])
        self.assertIn('2 turns written, 2 skipped', p.stdout)
        # A recording made before the receiver had a fix is passed over, not a reason to refuse.
        nopos = self.synth('early.bin', '--position', '0,0')
        run('export', nopos, rec, '--map', self.path('last'), '--size', '64', '--turns', 'last')
        self.assertEqual([f for f in os.listdir(self.path('last')) if f.endswith('.png')],
                         ['r_turn0004.png'])

    def test_ping_table_rows_match_the_records(self):
        rec = self.synth('t.bin', '--sector', '2,1', '--position', '35.1,129.05', '--heading',
                         '12.5', '--compass', 'gyro-offset')
        recs = records(rec)
        run('export', rec, '--table', self.path('t.csv'), '--samples')
        run('export', rec, '--table', self.path('t.jsonl'))
        rows = list(csv.DictReader(read(self.path('t.csv'), 'r').splitlines()))
        objs = [json.loads(line) for line in read(self.path('t.jsonl'), 'r').splitlines()]
        self.assertEqual((len(rows), len(objs)), (len(recs), len(recs)))
        for i in (0, 1, 7, len(recs) - 1):
            r, row, obj, samples = recs[i], rows[i], objs[i], recs[i]['samples']
            self.assertEqual([int(row[k]) for k in ('offset', 'ping', 'angle_raw', 'header_size',
                                                    'device_id', 'sample_count')] + [obj['offset']],
                             [r['offset'], i, r['angle'], 44, r['dev'], len(samples), r['offset']])
            self.assertAlmostEqual(float(row['angle_deg']), r['angle'] // 9 * 0.1125)
            self.assertAlmostEqual(float(row['latitude']), r['where'][0], 9)
            self.assertAlmostEqual(obj['longitude'], r['where'][1], 9)
            self.assertAlmostEqual(float(row['compass_deg']), 12.5)
            self.assertAlmostEqual(obj['gyro_deg'], 57.5)
            self.assertEqual(float(row['range_m']), 10.0)
            self.assertEqual([row['sector_heading_deg'], row['sector_width_deg'], obj['step_deg'],
                              row['footer']], ['90', '90', '1.8', r['footer']])
            self.assertEqual([int(row[f's{j}']) for j in range(len(samples))], list(samples))
            self.assertNotIn('samples', obj)
        # A sector is swept both ways.
        self.assertEqual({o['direction'] for o in objs[1:]}, {'cw', 'ccw'})

    def test_refused_input_leaves_nothing(self):
        good = self.synth('good.bin', '--position', '1,2', '--compass', 'none')
        # A zero in either coordinate is the recorder's "no position".
        unplaced = [self.synth(f'nopos{i}.bin', '--position', p)
                    for i, p in enumerate(('0,0', '0,2', '1,0'))]
        junk = self.path('junk.bin')
        open(junk, 'wb').write(os.urandom(5000))
        blocker, out, table = self.path('blocker'), self.path('out'), self.path('t.csv')
        open(blocker, 'w').close()
        for args, named in [
            ([self.path('missing.bin'), '--map', out], 'missing.bin'),
            ([junk, '--map', out, '--heading', '0'], 'no valid record'),
            ([good, '--map', out], '--heading'),
            *[([f, '--map', out], '--position') for f in unplaced],
            ([good, '--map', os.path.join(blocker, 'sub'), '--heading', '0'], 'blocker'),
            ([good, '--map', out, '--table', table], 'either'),
            ([good, '--table', table, '--turns', 'last'], '--turns'),
            *[([good, '--table', table, *map_only], 'go with --map')
              for map_only in (['--every', '2'], ['--heading', '10'], ['--size', '64'])],
            ([good, '--table', self.path('t.txt')], 't.txt'),
            ([good, '--table', os.path.join(blocker, 't.csv')], 't.csv'),
            ([junk, '--table', table], 'no valid record'),
            ([good, '--map', out, '--size', '9'], '--size'),
            ([good, '--map', out, '--turns', '3-1'], '--turns'),
        ]:
            lines = run('export', *args, expect=2).stderr.splitlines()
            self.assertEqual(len(lines), 1, (args, lines))
            self.assertTrue(lines[0].startswith('sk720: export: ') and named in lines[0], lines)
            self.assertFalse([p for p in (table, table + '.part', out) if os.path.exists(p)], args)


if __name__ == '__main__':
    SK720 = sys.argv.pop(1)
    unittest.main(verbosity=2)
