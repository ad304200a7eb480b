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
import collections, concurrent.futures, os, random, re, shutil, subprocess, sys, tempfile, time

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
    lk = ROADS.get(road, ())
    return ['strace', '-f', '-qq', '-o', trace, *lk, *options] if lk or options else []


def run(case, words, prefix=(), wait=True):
    """Runs the case's program in its collection; returns status, output and errors, or the process."""
    p = subprocess.Popen([*prefix, case + '/prog/QuorVBoy', *words.split()], cwd=case + '/coll', errors='replace',
                         env=dict(os.environ, HOME=case + '/home', ASAN_OPTIONS='detect_leaks=0'),
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = p.communicate() if wait else (None, None)
    return (p.returncode, out, err) if wait else p


def snap(top):
    """Every file and link below top but the program: relative path -> bytes ("->target" for a link)."""
    files = {}
    for d, dirs, names in os.walk(top):
        for n in names + [x for x in dirs if os.path.islink(os.path.join(d, x))]:
            p, rel = os.path.join(d, n), os.path.relpath(os.path.join(d, n), top)
            if rel != 'prog/QuorVBoy':
                files[rel] = b'->' + os.readlink(p).encode() if os.path.islink(p) else open(p, 'rb').read()
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
    if len(lines) < 3 or lines[-1] or lines[1] or re.sub(r'\d+', '#', lines[0]) not in HEADS[name]:
        return None
    at = [CATALOGUE.index(n) if n in CATALOGUE else -1 for n in lines[2:-1]]
    whole = int(re.search(r'\d+', lines[0])[0]) == len(at) and -1 not in at and at == sorted(set(at))
    return len(at) if whole else None


def trouble(case, before, prev=None, killed=False):
    """Everything wrong in a case after runs that began from before; lists are judged against prev, if given.
    One file under two names counts once (a move cut between link and unlink, or two runs that moved it at once);
    a killed run may leave a copy cut short or whole beside its original."""
    now, bad, was, prev, names = snap(case), [], arrangement(before), prev or before, set()
    left, places = collections.Counter(was.values()), set(was.items()) | set(ORIGIN.items())
    for p, b in arrangement(now).items():
        inode = os.lstat(os.path.join(case, p)).st_ino
        if inode in names:
            continue
        names.add(inode)
        if b not in left:
            # A copy that a kill cut short: the next run removes it.
            bad += [] if killed and any(o.startswith(b) for o in was.values()) else ['new file ' + p]
            continue
        elif (p, b) not in places and not p.startswith(('coll/VBoyRen/', 'coll/VBoyDupes/')):
            bad.append('a file of the collection turned up as ' + p)
        left[b] -= 1
    named = {b: p for p, b in was.items()}
    bad += ['%d too %s of %s' % (abs(n), 'few' if n > 0 else 'many', named[b]) for b, n in left.items()
            if n > 0 or n < 0 and not killed]  # a whole copy a kill left: the next run finishes the move
    bad += [p + ' written' for p in set(before) | set(now) if not p.startswith('coll/') and not output(p)
            and before.get(p) != now.get(p)]
    haves, dbs = set(), []
    for p in sorted(set(prev) | set(now)):
        name = p.partition('/')[2]
        if name in LISTS and output(p):
            n = entries(name, now[p]) if p in now else None
            if p not in now or n is None and prev.get(p) != now[p]:
                bad.append(p + (' is gone' if p not in now else ' is neither the old one nor a whole new one'))
            elif name == 'VBoyHave.txt':
                haves.add(n)
            elif name == 'QuorVBoy.db' and prev.get(p) != now[p]:
                dbs.append(n)
    return bad + ['a new database of %d entries beside have lists of %s' % (n, sorted(haves - {None}))
                  for n in dbs if n not in haves]


def differs(now, want, what):
    d = sorted({p for p, _ in set(now.items()) ^ set(want.items())})
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


def rights(case, readonly=None):
    for d, _, _ in os.walk(case):
        os.chmod(d, 0o555 if readonly and d == os.path.join(case, readonly) else 0o755)


def learn(case, originals):
    """Takes from an undisturbed run the names of the program's files, its list headers and its database."""
    for p, b in snap(case).items():
        top, _, name = p.partition('/')
        if top in ('coll', 'prog', 'home') and '/' not in name and p not in originals:
            OUT.add(name)
            if name in LISTS[:2]:
                HEADS[name].add(re.sub(r'\d+', '#', b.decode('latin-1').split('\n')[0]))
            if name == LISTS[2]:
                DB['head'], DB['words'] = b[:8], DB['words'] | {b[i:i + 4] for i in range(8, len(b), 4)}


def make_start():
    """The collection every row starts from, beside the program with the sample group file, and the old lists."""
    t = os.path.join(ROOT, 'start')
    os.makedirs(t + '/prog'), os.makedirs(t + '/home'), os.makedirs(ROOT + '/aside')
    shutil.copy(EXE, t + '/prog/QuorVBoy'), shutil.copy(CFG, t + '/prog/QuorInfo.cfg')
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
    learn(t, originals)
    # The catalogue, as the missing list of an empty collection without groups names it.
    c = os.path.join(ROOT, 'catalogue')
    os.makedirs(c + '/coll'), os.makedirs(c + '/home'), os.makedirs(c + '/prog')
    shutil.copy(EXE, c + '/prog/QuorVBoy')
    run(c, 'list')
    learn(c, {})
    return t, originals, open(c + '/coll/VBoyMiss.txt').read().split('\n')[2:-1]


def baseline(mode, road):
    """An undisturbed run, traced to count its calls of each kind (before the banner and in all), and timed."""
    case, before = prepared('base %s %s' % (mode, road), mode, road)
    trace, first, total, started = os.path.join(ROOT, 'trace'), collections.Counter(), collections.Counter(), False
    status, out, err = run(case, mode, strace(road, '-e', 'trace=write,' + ','.join(FAULTS), trace=trace))
    for m in filter(None, (re.match(r'\d+ +(\w+)\((.{0,12})', line) for line in open(trace, errors='replace'))):
        started = started or m[1] == 'write' and m[2].startswith('2, "QuorVBoy')
        total[m[1]], first[m[1]] = total[m[1]] + 1, first[m[1]] + (not started)
    learn(case, ORIGINALS)
    BASE[mode, road] = arrangement(snap(case))
    bad = trouble(case, before) + (['status %d: %s' % (status, err)] if status else [])
    if (BASE[mode, road] == arrangement(before)) != (mode == 'list') or mode == 'undo' and BASE[mode, road] != ORIGIN:
        bad.append('the undisturbed run left a wrong arrangement')
    timed, _ = prepared('base %s %s timed' % (mode, road), mode, road)
    t0 = time.time()
    run(timed, mode)
    return first, total, time.time() - t0, bad


def run_case(k, row):
    mode, road, how, call, n, arg = row
    case, before = prepared('cases/%d' % k, mode, road)
    plain, bad = NOBODY if how == 'perm' else strace(road), []
    if how == 'perm':
        subprocess.run(['chown', '-R', '65534:65534', case] if NOBODY else ['true'], check=True)
        rights(case, call)
    if how == 'twice':
        runs = [run(case, mode, strace(road, '-e', 'inject=' + arg), False), run(case, call, strace(road), False)]
        results = [(p.returncode, out, err) for p in runs for out, err in [p.communicate()]]
    else:
        fault = 'signal=SIGKILL' if how == 'kill' else 'error=%s' % (arg,)
        traced = call + {'link': ',renameat2', 'copy': ',renameat2,linkat'}.get(road, '')  # only traced calls
        inject = strace(road, '-e', 'trace=' + traced, '-e', 'inject=%s:%s:when=%d' % (call, fault, n))
        results = [run(case, mode, {'time': ['timeout', '-s', 'KILL', '%.4f' % n], 'perm': NOBODY}.get(how, inject))]
    killed = any(s in (-9, 137) for s, _, _ in results)
    bad += ['status %s: %s' % (s, e.strip()[-200:]) for s, _, e in results
            if s and not (how in ('kill', 'time') and s in (-9, 137))]
    if how == 'perm':
        bad += ['no "%s"' % e for e in arg if '/' not in e and e not in results[0][2]]
        bad += ['no ' + e for e in arg if '/' in e and not os.path.exists(os.path.join(case, e))]
        bad += differs(arrangement(snap(case)), arrangement(before), 'the read-only start') if call == 'coll' else []
        rights(case)
    # Two runs at once may leave the have list of one and the database of the other, each whole.
    bad += [b for b in trouble(case, before, killed=killed) if how != 'twice' or not b.startswith('a new database')]
    # One more plain run finishes what the disturbed one left, as an undisturbed run would have: without groups
    # when the group file could not be read (it says so); not checked after two runs that both moved (which
    # copy of an image gets which numbered name in VBoyDupes is theirs to race for).
    prev, said = snap(case), ''.join(o + e for _, o, e in results)
    status, out, err = run(case, mode, plain)
    bad += (['the resumed run: status %d: %s' % (status, err)] if status else []) + trouble(case, before, prev)
    want = BASE['no groups', road] if mode == 'rename dirs' and 'QuorInfo.cfg' in said else BASE[mode, road]
    if not (how == 'twice' and call == mode == 'rename dirs'):
        bad += differs(arrangement(snap(case)), want, 'the resumed arrangement')
    for _ in range(6):  # undo, run after run, back to the start
        prev = snap(case)
        status, out, err = run(case, 'undo', plain)
        bad += (['undo: status %d: %s' % (status, err)] if status else []) + trouble(case, before, prev)
        if 'Nothing to undo' in out or status:
            break
    bad += differs(arrangement(snap(case)), ORIGIN, 'the arrangement after undo')
    rights(case)
    shutil.rmtree(case)
    return row, killed, bad


def rows_of(mode, road, first, total, duration):
    """Every one of the first calls of a kind, then a few more spread up to the last; kills at random times."""
    def picks(call, dense, spread):
        a, b = first[call] + 1, total[call]
        return sorted(set(range(a, min(b, a + dense - 1) + 1)) | {a + (b - a) * k // spread for k in range(1, spread + 1)})
    rows, lk = [], road != 'normal'
    failed = {'link': 'linkat unlinkat openat write', 'copy': COPYING['fail']}.get(road, ' '.join(FAULTS)).split()
    for call, errors in FAULTS.items():
        if total[call] > first[call] and call in failed:
            rows += [(mode, road, 'fail', call, n, errors.split()[i % len(errors.split())])
                     for i, n in enumerate(picks(call, 8, 5))]
    for call in (COPYING['kill'] if road == 'copy' else KILLS[mode]).split():
        if total[call] > first[call] and not (lk and call == 'renameat2'):
            rows += [(mode, road, 'kill', call, n, '') for n in picks(call, 5, 4)]
    return rows + [(mode, road, 'time', '', random.uniform(0, duration), '') for _ in range(0 if lk else 6)]


def main():
    global START, ORIGIN, ORIGINALS, CATALOGUE
    if not shutil.which('strace') or subprocess.run(strace('', '-e', 'inject=getpid:error=EIO') + ['true']).returncode:
        print('strace is missing or cannot inject here: the hardening test is skipped')
        return 77
    random.seed(7)
    os.chmod(ROOT, 0o711)
    os.makedirs(ROOT + '/cases'), os.chmod(ROOT + '/cases', 0o755)
    START, ORIGINALS, CATALOGUE = make_start()
    ORIGIN, rows, failures, counts = arrangement(snap(START)), [], [], {}
    nogroups, _ = prepared('base without groups', 'rename dirs', 'normal')
    os.remove(nogroups + '/prog/QuorInfo.cfg')
    run(nogroups, 'rename dirs')
    for mode, road in (('rename dirs', 'normal'), ('rename dirs', 'link'), ('rename dirs', 'copy'), ('list', 'normal'),
                       ('undo', 'normal'), ('undo', 'link'), ('undo', 'copy')):
        first, total, duration, bad = baseline(mode, road)
        failures += [((mode, road, 'undisturbed', '', 0, ''), bad)] if bad else []
        counts.update({(mode, road, call): total[call] - first[call] for call in total})
        rows += rows_of(mode, road, first, total, duration)
    BASE['no groups', 'normal'] = BASE['no groups', 'link'] = BASE['no groups', 'copy'] = arrangement(snap(nogroups))
    if NOBODY and not shutil.which('setpriv'):
        print('setpriv is missing: the permission rows are left out')
    else:
        rows += [('rename dirs', 'normal', 'perm', 'coll', 0, ('Error creating dir', 'Using default log',
                                                                 'home/VBoyHave.txt')),
                 ('list', 'normal', 'perm', 'coll', 0, ('Using default log', 'home/VBoyHave.txt', 'home/VBoyMiss.txt')),
                 ('rename dirs', 'normal', 'perm', 'prog', 0, ('coll/QuorVBoy.db',))]
    # Two runs at once: one slowed (on the link road, held between link and unlink), one at full speed.
    rows += 3 * [('list', 'normal', 'twice', 'list', 0, 'write:delay_exit=3000'),
                 ('rename dirs', 'normal', 'twice', 'list', 0, 'write:delay_exit=3000'),
                 ('rename dirs', 'normal', 'twice', 'rename dirs', 0, 'renameat2:delay_exit=15000'),
                 ('rename dirs', 'link', 'twice', 'rename dirs', 0, 'unlinkat:delay_enter=200000:when=1..2')]
    # HARDENING_ROWS=regex runs only the rows whose printed form matches (to reproduce one).
    rows = [r for r in rows if re.search(os.environ.get('HARDENING_ROWS', ''), ' '.join(map(str, r)))]
    tally = collections.defaultdict(lambda: [0, 0, 0])  # runs, kills that landed, runs in trouble
    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        for row, killed, bad in pool.map(run_case, range(len(rows)), rows):
            t = tally[row[:3] + (row[3] if row[2] in ('fail', 'kill') else '',)]
            t[0], t[1], t[2] = t[0] + 1, t[1] + killed, t[2] + bool(bad)
            failures += [(row, bad)] if bad else []
    for row, bad in failures:
        print('FAILED %s:\n  %s' % (' '.join(map(str, row)), '\n  '.join(bad[:6])))
    leftover = os.listdir(ROOT + '/cases')
    print('Written outside the collections: %s\n' % leftover if leftover else '', end='')
    lines = collections.defaultdict(list)
    for (mode, road, how, call), (runs, landed, bad) in sorted(tally.items()):
        lines['%s, %s road, %s:' % (mode, road, how)].append(' '.join(filter(None, (call, str(runs) + (
            '/%d' % counts[mode, road, call] if how == 'fail' else ''), how == 'time' and '(%d landed)' % landed,
            bad and '(%d FAILED)' % bad))))
    print('\n'.join(head + ' ' + ', '.join(items) for head, items in lines.items()))
    kinds = collections.Counter()
    for (_, _, how, _), (runs, _, _) in tally.items():
        kinds[how] += runs
    print('In all %d disturbed runs (%s): %s' % (sum(kinds.values()), ', '.join('%d %s' % (v, k) for k, v in
          sorted(kinds.items())), '%d in trouble' % len(failures) if failures or leftover else 'all survived'))
    return 1 if failures or leftover else 0


if __name__ == '__main__':
    try:
        sys.exit(main())
    finally:
        for d, _, _ in os.walk(ROOT):
            os.chmod(d, 0o755)
        shutil.rmtree(ROOT, ignore_errors=True)
