#!/bin/bash
# tools/compare-builds.sh OLD NEW: runs two builds of orba-upgrade on the same maps of real text,
# in several ways, twice each, and compares what each prints, its status and the output trees.
# Exit status 0: the same in every way.
set -u
source bench/slow_device/common.sh
OLD=$(realpath "${1:?usage: tools/compare-builds.sh OLD-orba-upgrade NEW-orba-upgrade}")
NEW=$(realpath "${2:?usage: tools/compare-builds.sh OLD-orba-upgrade NEW-orba-upgrade}")
base=$(mktemp -d); trap "rm -rf $base" EXIT
small_template $base/tpl.html
make_documents $base/src 300 $base/tpl.html >/dev/null
# odd entries: a half-saved map, an empty block, a .htm, a hidden file, a subfolder with maps, a link
printf '<div id="DATA_SAVER" class="data_saver">cut' > $base/src/old/cut.html
printf '<div id="DATA_SAVER" class="data_saver"></div>   <!-- <div id="DATA_SAVER">结束 -->' > $base/src/old/empty.html
cp $base/src/old/$(ls $base/src/old | head -1) $base/src/old/other.htm
cp $base/src/old/$(ls $base/src/old | head -1) $base/src/old/.hidden.html
mkdir -p $base/src/old/sub/deeper; for i in 1 2 3; do cp $base/src/old/$(ls $base/src/old | sed -n ${i}p) $base/src/old/sub/s$i.html; done
cp $base/src/old/$(ls $base/src/old | head -1) $base/src/old/sub/deeper/d.html
ln -s .. $base/src/old/sub/up
fail=0
run() {  # name, args...
    local name=$1; shift
    for who in old new; do
        rm -rf $base/$who; cp -a $base/src $base/$who
        local bin=$OLD; [ $who = new ] && bin=$NEW
        # a second run over the first's outputs, too
        (cd $base/$who && LC_ALL=${LANG_RUN:-C.UTF-8} $bin "$@" orba.html old >out1 2>err1; echo $? >status1
         LC_ALL=${LANG_RUN:-C.UTF-8} $bin "$@" orba.html old >out2 2>err2; echo $? >status2)
    done
    for f in out1 err1 status1 out2 err2 status2; do
        cmp -s $base/old/$f $base/new/$f || { echo "$name: $f differs"; diff <(head -c 3000 $base/old/$f) <(head -c 3000 $base/new/$f) | head -5; fail=1; }
    done
    diff -r --no-dereference $base/old/old $base/new/old >/dev/null || { echo "$name: trees differ"; fail=1; }
    echo "$name: compared ($(find $base/new/old -path '*NewORBA/*' | wc -l) outputs)"
}
run plain
run verbose -v
run dryrun -n
run sync --sync -v
run tree -r -v
run treedry -r -n
run treekeep -rk -v
LANG_RUN=zh_CN.UTF-8 run chinese -v; LANG_RUN=zh_CN.UTF-8 run chinesedry -rn
exit $fail
