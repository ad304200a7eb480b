#!/usr/bin/env python3
"""hardening.py - QuorVBoy under failed system calls, kills, refused permissions and two runs at once

    python3 hardening.py QUORVBOY QUORGEN QUORINFO.CFG

Each row disturbs one run over a fresh copy of one generated collection: strace fails the Nth call of a kind or
kills the run there, a timer kills it, a folder is read-only (for nobody when root runs this), or two runs go at
once. Judged against undisturbed runs: status 0 (or killed); every file of the collection there as often as before,
byte for byte, in its old place, VBoyRen or VBoyDupes; each list and the database old or whole (a header the program
writes, as many catalogue names as it counts, in order; known CRCs, as many as a have list beside it); nothing else
written. One more plain run must leave what an undisturbed run leaves, undo runs the start. Exit 77 without strace.
"""
import collections, concurrent.futures, itertools, os, random, re, shutil, subprocess, sys, tempfile, time

EXE, GEN, CFG = map(os.path.abspath, sys.argv[1:4])
ROOT = tempfile.mkdtemp(prefix='quor-hardening-')
LINK = ('-e', 'inject=renameat2:error=EINVAL')  # the no-replace move refused: moves take link and unlink
ROADS = {'link': LINK, 'copy': LINK + ('-e', 'inject=linkat:error=EPERM')}  # no hard links either: moves copy
LISTS = ('VBoyHave.txt', 'VBoyMiss.txt', 'QuorVBoy.db')
NOBODY = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups'] if os.geteuid() == 0 else []
# The calls failed, with the errors a real system gives, in turn; the calls killed at, by mode.
FAULTS = {'openat': 'EACCES ENOSPC EIO', 'read': 'EIO', 'write': 'ENOSPC EIO', 'close': 'EIO', 'fsync': 'EIO ENOSPC',
          'mkdirat': 'ENOSPC EACCES EIO', 'renameat2': 'EXDEV EIO ENOSPC EACCES', 'renameat': 'EIO ENOSPC EXDEV',
          'linkat': 'EXDEV ENOSPC EIO EMLINK', 'unlinkat': 'EIO EBUSY', 'newfstatat': 'EIO EACCES',
          'getdents64': 'EIO', 'fchdir': 'EIO', 'utimensat': 'EIO EPERM'}
KILLS = {'rename dirs': 'renameat2 linkat unlinkat mkdirat write fsync renameat', 'list': 'openat write fsync renameat',
         'undo': 'renameat2 linkat unlinkat write'}
COPYING = {'fail': 'openat read write fsync utimensat unlinkat', 'kill': 'write fsync utimensat unlinkat'}
OUT, HEADS, DB, BASE = set(), collections.defaultdict(set), {'words': set()}, {}  # learned from undisturbed runs

def strace(road, *options, trace=os.devnull):
    """The prefix of a run on a road ('link': moves by link and unlink, 'copy': by copying) with strace options."""
    return ['strace', '-f', '-qq', '-o', trace, *ROADS.get(road, ()), *options] if road in ROADS or options else []

def run(case, words, prefix=(), wait=True):
    """Runs the case's program in its collection; returns output, errors and status, or the process."""
    p = subprocess.Popen([*prefix, case + '/prog/QuorVBoy', *words.split()], cwd=case + '/coll', errors='replace',
                         env=dict(os.environ, HOME=case + '/home', ASAN_OPTIONS='detect_leaks=0'),
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return (*p.communicate(), p.returncode) if wait else p

def snap(top, originals=None):
    """Every file and link below top but the program: relative path -> bytes ("->target" for a link). Given the files
    there before an undisturbed run, learns from it the names of the program's files, its list headers and database."""
    files = {}
    for d, dirs, names in os.walk(top):
        for n in names + [x for x in dirs if os.path.islink(os.path.join(d, x))]:
            p, rel = os.path.join(d, n), os.path.relpath(os.path.join(d, n), top)
            if rel != 'prog/QuorVBoy':
                files[rel] = b'->' + os.readlink(p).encode() if os.path.islink(p) else open(p, 'rb').read()
    for p, b in files.items() if originals is not None else ():
        top, _, name = p.partition('/')
        if top in ('coll', 'prog', 'home') and '/' not in name and p not in originals:
            OUT.add(name)
            if name in LISTS[:2]:
                HEADS[name].add(re.sub(r'\d+', '#', b.decode('latin-1').split('\n')[0]))
            if name == LISTS[2]:
                DB['head'], DB['words'] = b[:8], DB['words'] | {b[i:i + 4] for i in range(8, len(b), 4)}
    return files

def output(rel):
    """True for the program's own files (lists, logs, journal, database, their temporaries) in its three folders."""
    top, _, name = rel.partition('/')
    return '/' not in name and top in ('coll', 'prog', 'home') and re.sub(r'\.\d+(-\d+)?\.tmp$', '', name) in OUT

def arrangement(files):
    return {p: b for p, b in files.items() if p.startswith('coll/') and not output(p)}

def entries(name, data):
    """How many entries a whole list or database of that name holds; None when it is not whole."""
    if name.endswith('.db'):
        words = [data[i:i + 4] for i in range(8, len(data), 4)]
        whole = data[:8] == DB['head'] and len(data) % 4 == 0 and DB['words'] >= set(words)
        return len(words) if whole and len(set(words)) == len(words) else None
    lines = data.decode('latin-1').split('\n')
    at = [CATALOGUE.index(n) if n in CATALOGUE else -1 for n in lines[2:-1]]
    head = len(lines) > 2 and not lines[-1] and not lines[1] and re.sub(r'\d+', '#', lines[0]) in HEADS[name]
    whole = head and int(re.search(r'\d+', lines[0])[0]) == len(at) and at == sorted(set(at) - {-1})
    return len(at) if whole else None

def trouble(case, before, prev=None, killed=False):
    """Everything wrong in a case after runs that began from before; lists are judged against prev, if given.
    One file under two names counts once (a move cut between link and unlink, or two runs that moved it at once);
    a killed run may leave a copy cut short or whole beside its original."""
    now, bad, was, prev, seen = snap(case), [], arrangement(before), prev or before, set()
    named, left = {b: p for p, b in was.items()}, collections.Counter(was.values())
    for p, b in arrangement(now).items():
        inode = os.lstat(os.path.join(case, p)).st_ino
        if inode in seen:
            continue
        seen.add(inode)
        left[b] -= 1
        if b not in named:  # a copy that a kill cut short is no new file: the next run removes it
            bad += [] if killed and any(o.startswith(b) for o in named) else ['new file ' + p]
        elif b not in (was.get(p), ORIGIN.get(p)) and not p.startswith(('coll/VBoyRen/', 'coll/VBoyDupes/')):
            bad.append('a file of the collection turned up as ' + p)
    bad += ['%d too %s of %s' % (abs(n), 'few' if n > 0 else 'many', named[b]) for b, n in left.items()
            if b in named and (n > 0 or n < 0 and not killed)]  # a whole copy a kill left: the next run ends it
    bad += [p + ' written' for p in set(before) | set(now) if not p.startswith('coll/') and not output(p)
            and before.get(p) != now.get(p)]
    lists = {p for p in set(prev) | set(now) if p.partition('/')[2] in LISTS and output(p)}
    n = {p: entries(p.partition('/')[2], now[p]) for p in lists & set(now)}  # None for one not whole
    bad += [p + ' is gone' for p in lists - set(now)]
    bad += [p + ' is neither the old one nor a whole new one' for p in n if n[p] is None and prev.get(p) != now[p]]
    haves = {n[p] for p in n if p.endswith('/VBoyHave.txt')}
    return bad + ['a new database of %d entries beside have lists of %s' % (n[p], sorted(haves - {None}))
                  for p in n if p.endswith('/QuorVBoy.db') and prev.get(p) != now[p] and n[p] not in haves | {None}]

def differs(case, want, what):
    """Where the arrangement of a case differs from the one wanted."""
    d = sorted({p for p, _ in set(arrangement(snap(case)).items()) ^ set(want.items())})
    return ['%s differs at %s' % (what, ', '.join(d[:4]))] if d else []

def prepared(name, mode, road):
    """A copy of the start; undo takes back a rename dirs made in it (the journal names its folder)."""
    case = os.path.join(ROOT, name)
    # The program is linked, not copied: a copy open for writing when another thread forks could not be run.
    shutil.copytree(START, case, symlinks=True,
                    copy_function=lambda a, b: (os.link if a.endswith('/QuorVBoy') else shutil.copy2)(a, b))
    if mode == 'undo':
        run(case, 'rename dirs', strace(road))
    return case, snap(case)

def make_start():
    """The collection every row starts from, beside the program with the sample group file, and the old lists;
    the catalogue, as the missing list of an empty collection without groups names it."""
    t, c = os.path.join(ROOT, 'start'), os.path.join(ROOT, 'catalogue')
    for d in (t + '/prog', t + '/home', c + '/prog', c + '/home', c + '/coll', ROOT + '/aside'):
        os.makedirs(d)
    shutil.copy(EXE, t + '/prog/QuorVBoy'), shutil.copy(CFG, t + '/prog/QuorInfo.cfg')
    shutil.copy(EXE, c + '/prog/QuorVBoy')
    subprocess.run([GEN, t + '/coll', '--images', '14', '--min-size', '8K', '--max-size', '16K', '--known-share',
                    '0.8', '--stored-zips', '2', '--deflated-zips', '2', '--others', '5', '--dupes', '6', '--seed',
                    '5'], check=True, stdout=subprocess.DEVNULL)
    names = sorted(os.listdir(t + '/coll'))
    os.mkdir(t + '/coll/Saved')
    os.rename(t + '/coll/' + names[-1], t + '/coll/Saved/' + names[-1])  # passed over: not in the start folder
    os.symlink(names[0], t + '/coll/link.vb')  # passed over: a link
    originals = snap(t)
    for n in names[1:-1:2]:  # an earlier run saw every other file: its lists and database are the old ones
        os.rename(t + '/coll/' + n, ROOT + '/aside/' + n)
    run(t, 'list')
    for n in names[1:-1:2]:
        os.rename(ROOT + '/aside/' + n, t + '/coll/' + n)
    run(c, 'list')
    snap(t, originals), snap(c, {})
    return t, originals, open(c + '/coll/VBoyMiss.txt').read().split('\n')[2:-1]

def rows_of(mode, road):
    """The rows that disturb a mode on a road: of the calls of a kind its traced undisturbed run made after the banner,
    every one of the first, then a few more spread up to the last; kills at random times up to its plain duration."""
    first, total, started = collections.Counter(), collections.Counter(), False
    for m in re.finditer(r'^\d+ +(\w+)\((.{0,12})', open(ROOT + '/trace', errors='replace').read(), re.M):
        started = started or m[1] == 'write' and m[2].startswith('2, "QuorVBoy')
        total[m[1]], first[m[1]] = total[m[1]] + 1, first[m[1]] + (not started)
    timed, _ = prepared('base %s %s timed' % (mode, road), mode, road)
    t0 = time.time()
    run(timed, mode)
    duration = time.time() - t0

    def picks(call, dense, spread):
        a, b = first[call] + 1, total[call]
        return sorted(set(range(a, min(b + 1, a + dense))) | {a + (b - a) * k // spread for k in range(1, spread + 1)})
    failed = {'link': 'linkat unlinkat openat write', 'copy': COPYING['fail']}.get(road, ' '.join(FAULTS)).split()
    rows = [(mode, road, 'fail', call, n, error) for call, errors in FAULTS.items()
            if total[call] > first[call] and call in failed
            for n, error in zip(picks(call, 8, 5), itertools.cycle(errors.split()))]
    rows += [(mode, road, 'kill', call, n, '') for call in (COPYING['kill'] if road == 'copy' else KILLS[mode]).split()
             if total[call] > first[call] and (road == 'normal' or call != 'renameat2') for n in picks(call, 5, 4)]
    return rows + [(mode, road, 'time', '', random.uniform(0, duration), '') for _ in range(6 * (road == 'normal'))]

def run_case(name, row):
    """Runs one row in a fresh copy, then one plain run and undo after undo; returns the row, whether a kill landed
    and everything wrong. An undisturbed row is traced, and shows the program's files and what its runs leave."""
    mode, road, how, call, n, arg = row
    case, before = prepared(name, mode, road)
    plain = NOBODY if how == 'perm' else strace(road)
    if how == 'perm':
        subprocess.run(['chown', '-R', '65534:65534', case] if NOBODY else ['true'], check=True)
        os.chmod(os.path.join(case, call), 0o555)
    traced = call + {'link': ',renameat2', 'copy': ',renameat2,linkat'}.get(road, '')  # only traced calls
    fault = 'inject=%s:%s:when=%d' % (call, 'signal=SIGKILL' if how == 'kill' else 'error=' + arg, n)
    prefix = {'time': ['timeout', '-s', 'KILL', '%.4f' % n], 'perm': NOBODY,
              'twice': strace(road, '-e', 'inject=' + arg),  # two runs at once: this one slowed, call's at full speed
              'undisturbed': strace(road, '-e', 'trace=write,' + ','.join(FAULTS), trace=ROOT + '/trace')}
    runs = [run(case, mode, prefix.get(how, strace(road, '-e', 'trace=' + traced, '-e', fault)), False)]
    runs += [run(case, call, strace(road), False)] if how == 'twice' else []
    results = [(*p.communicate(), p.returncode) for p in runs]
    killed = any(s in (-9, 137) for _, _, s in results)
    bad = ['status %s: %s' % (s, e.strip()[-200:]) for _, e, s in results
           if s and not (how in ('kill', 'time') and s in (-9, 137))]
    if how == 'undisturbed':
        base = BASE[mode, road] = arrangement(snap(case, ORIGINALS))
        if (base == arrangement(before)) != (mode == 'list') or mode == 'undo' and base != ORIGIN:
            bad.append('the undisturbed run left a wrong arrangement')
    if how == 'perm':  # the messages said, the lists written elsewhere, a read-only collection untouched
        bad += ['no ' + e for e in arg.split('|')
                if not (os.path.exists(os.path.join(case, e)) if '/' in e else e in results[0][1])]
        bad += differs(case, arrangement(before), 'the read-only start') if call == 'coll' else []
        os.chmod(os.path.join(case, call), 0o755)
    # Two runs at once may leave the have list of one and the database of the other, each whole.
    bad += [b for b in trouble(case, before, killed=killed) if how != 'twice' or not b.startswith('a new database')]
    # One more plain run finishes what the disturbed one left, as an undisturbed run would have: without groups
    # when the group file could not be read (it says so); not checked after two runs that both moved (which
    # copy of an image gets which numbered name in VBoyDupes is theirs to race for). Then undo, run after run.
    said = ''.join(o + e for o, e, _ in results)
    want = arrangement(BASE['no groups']) if mode == 'rename dirs' and 'QuorInfo.cfg' in said else BASE[mode, road]
    for i, words in enumerate([mode] + 6 * ['undo']):
        prev = snap(case)
        out, err, status = run(case, words, plain)
        bad += (['%s: status %d: %s' % (words, status, err)] if status else []) + trouble(case, before, prev)
        if i == 0 and not (how == 'twice' and call == mode == 'rename dirs'):
            bad += differs(case, want, 'the resumed arrangement')
        if i and ('Nothing to undo' in out or status):
            break
    bad += differs(case, ORIGIN, 'the arrangement after undo')
    shutil.rmtree(case)
    return row, killed, bad

def main():
    global START, ORIGIN, ORIGINALS, CATALOGUE
    if not shutil.which('strace') or subprocess.run(strace('', '-e', 'inject=getpid:error=EIO') + ['true']).returncode:
        print('strace is missing or cannot inject here: the hardening test is skipped')
        return 77
    random.seed(7)
    os.chmod(ROOT, 0o711)
    os.makedirs(ROOT + '/cases'), os.chmod(ROOT + '/cases', 0o755)
    START, ORIGINALS, CATALOGUE = make_start()
    ORIGIN, rows, done = arrangement(snap(START)), [], []
    nogroups, _ = prepared('base without groups', 'rename dirs', 'normal')
    os.remove(nogroups + '/prog/QuorInfo.cfg')
    run(nogroups, 'rename dirs')
    BASE['no groups'] = snap(nogroups)  # arranged when used: once the program's own files are known
    for mode, road in (('rename dirs', 'normal'), ('rename dirs', 'link'), ('rename dirs', 'copy'), ('list', 'normal'),
                       ('undo', 'normal'), ('undo', 'link'), ('undo', 'copy')):
        done.append(run_case('base %s %s' % (mode, road), (mode, road, 'undisturbed', '', 0, '')))
        rows += rows_of(mode, road)
    if NOBODY and not shutil.which('setpriv'):
        print('setpriv is missing: the permission rows are left out')
    else:  # the folder made read-only, the messages and files that must show
        rows += [('rename dirs', 'normal', 'perm', 'coll', 0, 'Error creating dir|Using default log|home/VBoyHave.txt'),
                 ('list', 'normal', 'perm', 'coll', 0, 'Using default log|home/VBoyHave.txt|home/VBoyMiss.txt'),
                 ('rename dirs', 'normal', 'perm', 'prog', 0, 'coll/QuorVBoy.db')]
    # Two runs at once: one slowed (on the link road, held between link and unlink), one at full speed.
    rows += 3 * [('list', 'normal', 'twice', 'list', 0, 'write:delay_exit=3000'),
                 ('rename dirs', 'normal', 'twice', 'list', 0, 'write:delay_exit=3000'),
                 ('rename dirs', 'normal', 'twice', 'rename dirs', 0, 'renameat2:delay_exit=15000'),
                 ('rename dirs', 'link', 'twice', 'rename dirs', 0, 'unlinkat:delay_enter=200000:when=1..2')]
    # HARDENING_ROWS=regex runs only the rows whose printed form matches (to reproduce one).
    rows = [r for r in rows if re.search(os.environ.get('HARDENING_ROWS', ''), ' '.join(map(str, r)))]
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        done += pool.map(run_case, ['cases/%d' % k for k in range(len(rows))], rows)
    failures = [(row, bad) for row, _, bad in done if bad]
    for row, bad in failures:
        print('FAILED %s:\n  %s' % (' '.join(map(str, row)), '\n  '.join(bad[:6])))
    leftover = os.listdir(ROOT + '/cases')
    print('Written outside the collections: %s\n' % leftover if leftover else '', end='')
    for head in sorted({row[:3] for row in rows}):
        mine = [(killed, bool(bad)) for row, killed, bad in done if row[:3] == head]
        print('%s, %s road, %s: %d runs, %d killed, %d in trouble' % (*head, len(mine), *map(sum, zip(*mine))))
    kinds = collections.Counter(row[2] for row in rows)
    print('In all %d disturbed runs (%s): %s' % (len(rows), ', '.join('%d %s' % (v, k) for k, v in
          sorted(kinds.items())), '%d in trouble' % len(failures) if failures or leftover else 'all survived'))
    return 1 if failures or leftover else 0

if __name__ == '__main__':
    try:
        sys.exit(main())
    finally:
        for d, _, _ in os.walk(ROOT):
            os.chmod(d, 0o755)
        shutil.rmtree(ROOT, ignore_errors=True)
