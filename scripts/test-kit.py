#!/usr/bin/env python3
"""Makes the test kit for real Windows from the test list CMake keeps.

    test-kit.py CTEST_JSON KIT_FOLDER [--pack BUILD_FOLDER SAMPLES_FOLDER]

CTEST_JSON is what `ctest --show-only=json-v1` prints. KIT_FOLDER gets
run-tests.cmd, a batch file that runs every entry the way ctest does (the same
program, arguments, working folder, environment and time limit) and says for
each whether it passed, failed, ran out of time or was skipped, then
"N passed, N failed". Entries that need the Linux host (a shell script or
Python program drives them) are skipped with the reason.

The test programs find the program, its helpers and the camera samples
through paths fixed when they were built: the build tree's Linux paths on
drive Z:, which is the Linux root under Wine. --pack copies the programs and
the samples into KIT_FOLDER/tree at those same paths, and on Windows the
runner lends the tree the drive letter Z: (subst) for the run."""
import json
import os
import shutil
import sys

# Entries that set TZ, which Wine takes the zone from: the Windows zone with
# the same offsets and summer-time rules, switched to with tzutil for the
# entry and back afterwards.
WINDOWS_ZONES = {
    'UTC-2': 'South Africa Standard Time',  # two hours east of UTC all year
    'CET-1CEST,M3.5.0,M10.5.0/3': 'W. Europe Standard Time',
}
DRIVE = 'Z:'
# Longer program paths than this do not unpack from a zip on every Windows
# (Explorer stops at MAX_PATH).
LONGEST_PROGRAM_PATH = 240

HERE = os.path.dirname(os.path.abspath(__file__))


def windows_path(path):
    """A Linux path as the test programs see it: on drive Z:."""
    return DRIVE + path.replace('/', '\\') if path.startswith('/') else path


def properties(test):
    return {p['name']: p['value'] for p in test.get('properties', [])}


def batch_text(value, quotes_allowed):
    """A value for `set "name=value"` in a batch file run with delayed
    expansion: percent signs doubled; None when it holds what cannot pass."""
    if any(c in value for c in '!\r\n') or (not quotes_allowed and '"' in value):
        return None
    return value.replace('%', '%%')


def entry_of(test):
    """The runner's view of one ctest entry: a dict of batch variables."""
    name = test['name']
    command = test.get('command', [])
    props = properties(test)
    entry = {
        'name': name,
        'limit': str(int(float(props.get('TIMEOUT', 1500)))),
        'folder': windows_path(props.get('WORKING_DIRECTORY', '')),
        'program': '',
        'arguments': '',
        'skip_code': str(props.get('SKIP_RETURN_CODE', '')),
        'none_ran': '',
        'wine_tz': '',
        'windows_zone': '',
        'skip': '',
    }
    patterns = props.get('FAIL_REGULAR_EXPRESSION', [])
    if 'Running 0 tests from' in patterns:
        entry['none_ran'] = '1'
    if not command:
        entry['skip'] = 'it has no command'
        return entry
    first = os.path.basename(command[0])
    if first == 'wine-run' and len(command) > 1:
        program, arguments = command[1], command[2:]
    elif first.lower().endswith('.exe'):
        program, arguments = command[0], command[1:]
    else:
        entry['skip'] = 'needs the Linux host: ' + first + ' drives it'
        return entry
    entry['program'] = windows_path(program)
    if len(entry['program']) > LONGEST_PROGRAM_PATH:
        entry['skip'] = ('its program lies %d characters deep, past what a zip unpacks on Windows'
                         % len(entry['program']))
        return entry
    quoted = []
    for argument in arguments:
        # A path of the build or the source tree (never an option like /c).
        if argument.count('/') > 1 and os.path.isdir(os.path.dirname(argument)):
            argument = windows_path(argument)
        quoted.append('"%s"' % argument if ' ' in argument else argument)
    entry['arguments'] = ' '.join(quoted)
    for setting in props.get('ENVIRONMENT', []):
        key, _, value = setting.partition('=')
        if key != 'TZ':
            entry['skip'] = 'sets %s, which the runner does not pass on' % key
        elif value not in WINDOWS_ZONES:
            entry['skip'] = 'needs the time zone TZ=%s, which has no Windows zone here' % value
        else:
            entry['wine_tz'] = value
            entry['windows_zone'] = WINDOWS_ZONES[value]
    return entry


def block_of(entry):
    lines = []
    for key, value in entry.items():
        text = batch_text(value, key == 'arguments')
        if text is None:
            name = batch_text(entry['name'], False) or 'an entry'
            return ['set "name=%s"' % name, 'set "skip=%s holds a character the runner cannot'
                    ' pass"' % key, 'call :entry', '']
        lines.append('set "%s=%s"' % (key, text))
    lines += ['call :entry', '']
    return lines


def write_runner(tests, kit):
    with open(os.path.join(HERE, 'run-tests.cmd.in'), encoding='utf-8') as template:
        text = template.read()
    blocks = []
    for test in tests:
        blocks += block_of(entry_of(test))
    text = text.replace('@ENTRIES@\n', '\n'.join(blocks))
    with open(os.path.join(kit, 'run-tests.cmd'), 'w', encoding='ascii', newline='\r\n') as runner:
        runner.write(text)


def pack(tests, kit, build, samples):
    """Copies what the runnable entries need into kit/tree at their build paths."""
    tree = os.path.join(kit, 'tree')
    wanted = set()
    folders = set()
    for test in tests:
        entry = entry_of(test)
        if entry['skip']:
            continue
        folders.add(properties(test).get('WORKING_DIRECTORY', ''))
    # Every program of the build: the tests, the program they start, and the
    # helpers those start (the card copier, the writers, the probe).
    for top, folders_below, files in os.walk(build):
        # Not the Wine prefixes the tests made (their system32 is Wine's), nor
        # CMake's own folders.
        folders_below[:] = [f for f in folders_below if f != 'CMakeFiles' and
                            not os.path.exists(os.path.join(top, f, 'system.reg'))]
        for file in files:
            path = os.path.join(top, file)
            if file.lower().endswith('.exe') and len(windows_path(path)) <= LONGEST_PROGRAM_PATH:
                wanted.add(path)
    # The camera samples, the HEIF files made with the image tools and the
    # phones' videos, which the tests read from the source tree.
    heif_fixtures = os.path.normpath(os.path.join(HERE, '..', 'tests', 'capture', 'heif'))
    phone_videos = os.path.normpath(os.path.join(HERE, '..', 'tests', 'app', 'videos'))
    for data in (samples, heif_fixtures, phone_videos):
        for top, _, files in os.walk(data):
            for file in files:
                wanted.add(os.path.join(top, file))
    for path in sorted(wanted):
        target = os.path.join(tree, path.lstrip('/'))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(path, target)
    for folder in folders:
        if folder:
            os.makedirs(os.path.join(tree, folder.lstrip('/')), exist_ok=True)


def main(argv):
    if len(argv) not in (3, 6) or (len(argv) == 6 and argv[3] != '--pack'):
        print(__doc__.split('\n\n')[1], file=sys.stderr)
        return 2
    with open(argv[1], encoding='utf-8') as listing:
        tests = json.load(listing)['tests']
    kit = argv[2]
    os.makedirs(kit, exist_ok=True)
    write_runner(tests, kit)
    if len(argv) == 6:
        pack(tests, kit, os.path.abspath(argv[4]), os.path.abspath(argv[5]))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
