#!/usr/bin/env python3
"""Generates the sample documents under examples/: a new-version template orba.html and a folder
old/ of old-version mind maps. Output is deterministic, so running it again changes nothing.

Usage: tools/make_examples.py [EXAMPLES_DIR]
"""
import json
import random
import sys
from pathlib import Path

START = '<div id="DATA_SAVER" class="data_saver">'
END = '</div>   <!-- <div id="DATA_SAVER">结束 -->'

TOPICS = ["目标", "任务", "资源", "风险", "进度", "总结", "问题", "方案", "时间", "人员",
          "预算", "沟通", "质量", "复盘", "灵感", "阅读", "练习", "计划", "回顾", "反馈"]
WORDS = ["梳理", "确认", "整理", "讨论", "落实", "优化", "记录", "准备", "检查", "评估",
         "学习", "分享", "安排", "收集", "完成"]


def mind_map(rng, title, depth, width):
    """A nested map: every node has a Chinese text and its children."""
    def node(level, path):
        text = f"{rng.choice(WORDS)}{rng.choice(TOPICS)}{path}"
        # The central topic has every branch it may have; the others a few.
        count = width if level == 0 else rng.randint(1, width - 1 if width > 2 else width)
        children = [] if level == depth else [
            node(level + 1, f"{path}.{i + 1}") for i in range(count)]
        return {"id": f"n{path}", "text": text, "note": "", "children": children}
    root = node(0, "1")
    root["text"] = title
    return {"format": "orba-map", "root": root}


def data_block(map_data):
    # The block keeps its own line breaks around the JSON, as an editor would save it.
    return "\r\n" + json.dumps(map_data, ensure_ascii=False, indent=1).replace("\n", "\r\n") + "\r\n"


def viewer_script(rng, version, functions):
    lines = [f"/* 岚溪图谱查看器 {version} */", "var ORBA = ORBA || {};"]
    for i in range(functions):
        name = f"{rng.choice(['layout', 'draw', 'measure', 'toggle', 'export', 'bind'])}{i}"
        lines += [
            f"ORBA.{name} = function (node, ctx) {{",
            f"  // {rng.choice(WORDS)}节点：{rng.choice(TOPICS)}",
            "  var box = ctx.measure(node.text || '');",
            f"  box.w += {rng.randint(4, 40)}; box.h += {rng.randint(2, 20)};",
            "  for (var i = 0; i < (node.children || []).length; i++) {",
            f"    ORBA.{name}(node.children[i], ctx);",
            "  }",
            "  return box;",
            "};",
        ]
    return "\r\n".join(lines)


def viewer_styles(rng, count):
    rules = []
    for i in range(count):
        rules.append(f".orba-node-{i} {{ margin: {rng.randint(0, 12)}px; "
                     f"color: #{rng.randint(0, 0xFFFFFF):06x}; "
                     f"border-radius: {rng.randint(0, 8)}px; }}")
    return "\r\n".join(rules)


# The viewers: each reads its map from its own data block when the page loads and draws it as page
# elements. Version 1.2 shows an indented outline; version 2.0 a tree of boxes growing to the right,
# with a toolbar that folds and unfolds it and its version number in the corner. Both name the page
# after the map's central topic, so that an upgraded map opens under its own name, not the
# template's.
VIEWER_12 = r"""
(function () {
  function draw(node, depth, into) {
    var line = document.createElement("div");
    line.className = "orba-node";
    line.style.marginLeft = (depth * 24) + "px";
    line.textContent = node.text;
    into.appendChild(line);
    (node.children || []).forEach(function (child) { draw(child, depth + 1, into); });
  }
  window.addEventListener("DOMContentLoaded", function () {
    var map = JSON.parse(document.getElementById("DATA_SAVER").textContent);
    document.title = map.root.text + " - 岚溪图谱 ORBA " +
        document.getElementById("orba-version").dataset.version;
    draw(map.root, 0, document.getElementById("canvas"));
  });
})();
"""

VIEWER_20 = r"""
(function () {
  function draw(node) {
    var branch = document.createElement("div");
    branch.className = "orba-branch";
    var box = document.createElement("div");
    box.className = "orba-node";
    box.textContent = node.text;
    box.addEventListener("click", function () { branch.classList.toggle("folded"); });
    branch.appendChild(box);
    if ((node.children || []).length > 0) {
      var children = document.createElement("div");
      children.className = "orba-children";
      node.children.forEach(function (child) { children.appendChild(draw(child)); });
      branch.appendChild(children);
    }
    return branch;
  }
  function foldAll(folded) {
    document.querySelectorAll(".orba-branch").forEach(function (branch) {
      if (branch.parentNode.id !== "canvas") { branch.classList.toggle("folded", folded); }
    });
  }
  window.addEventListener("DOMContentLoaded", function () {
    var map = JSON.parse(document.getElementById("DATA_SAVER").textContent);
    document.title = map.root.text + " - 岚溪图谱 ORBA " +
        document.getElementById("orba-version").dataset.version;
    document.getElementById("canvas").appendChild(draw(map.root));
    document.getElementById("fold-all").addEventListener("click", function () { foldAll(true); });
    document.getElementById("unfold-all").addEventListener("click", function () { foldAll(false); });
  });
})();
"""

STYLE_12 = """
body { font-family: "SimSun", "AR PL UMing CN", serif; background: #fffdf5; color: #333; }
.toolbar { padding: 6px; border-bottom: 1px solid #ccc; color: #666; }
.data_saver { display: none; }
#canvas { padding: 12px; }
.orba-node { padding: 2px 0; }
.orba-node::before { content: "• "; color: #999; }
"""

STYLE_20 = """
body { font-family: "Noto Sans CJK SC", "AR PL UMing CN", sans-serif; background: #f4f7fb; margin: 0; }
.toolbar { background: #1f6f78; color: #fff; padding: 8px 12px; }
.toolbar button { margin-right: 6px; border: 0; border-radius: 4px; padding: 4px 10px; }
.data_saver { display: none; }
#orba-version { position: fixed; right: 12px; bottom: 8px; color: #1f6f78; font-weight: bold; }
#canvas { padding: 16px; }
.orba-branch { display: flex; align-items: center; }
.orba-children { display: flex; flex-direction: column; border-left: 2px solid #8ab; margin-left: 12px; }
.orba-node { background: #fff; border: 2px solid #1f6f78; border-radius: 12px; padding: 4px 10px;
             margin: 4px 8px; white-space: nowrap; cursor: pointer; }
.folded > .orba-children { display: none; }
"""


def document(version, title, script, styles, block):
    body_block = "" if block is None else f"{START}{block}{END}\r\n"
    if version == "2.0":
        viewer, style = VIEWER_20, STYLE_20
        toolbar = ("<div class=\"toolbar\"><button id=\"fold-all\">全部折叠</button>"
                   "<button id=\"unfold-all\">全部展开</button>"
                   f"<span>岚溪图谱 ORBA {version}</span></div>\r\n"
                   f"<div id=\"orba-version\" data-version=\"{version}\">ORBA {version}</div>\r\n")
    else:
        viewer, style = VIEWER_12, STYLE_12
        toolbar = (f"<div class=\"toolbar\" id=\"orba-version\" data-version=\"{version}\">"
                   f"岚溪图谱 ORBA {version}</div>\r\n")
    crlf = lambda text: text.strip("\n").replace("\n", "\r\n")
    return (
        "<!DOCTYPE html>\r\n<html lang=\"zh-CN\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        f"<title>{title} - 岚溪图谱 ORBA {version}</title>\r\n"
        f"<style>\r\n{crlf(style)}\r\n{styles}\r\n</style>\r\n</head>\r\n<body>\r\n"
        f"{toolbar}"
        "<div id=\"canvas\"></div>\r\n"
        f"{body_block}"
        f"<script>\r\n{crlf(viewer)}\r\n{script}\r\n</script>\r\n</body>\r\n</html>\r\n"
    )


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "examples"
    rng = random.Random(20241015)

    new_script = viewer_script(rng, "2.0", 640)
    new_styles = viewer_styles(rng, 900)
    template = document("2.0", "新版模板", new_script, new_styles,
                        data_block(mind_map(rng, "中心主题", 3, 3)))
    root.mkdir(parents=True, exist_ok=True)
    (root / "orba.html").write_bytes(template.encode("utf-8"))

    old = root / "old"
    old.mkdir(exist_ok=True)
    old_script = viewer_script(rng, "1.2", 120)
    old_styles = viewer_styles(rng, 150)
    samples = [
        ("项目计划.html", "项目计划", 3, 4),
        ("读书笔记.html", "读书笔记", 2, 5),
        ("旅行清单.HTML", "旅行清单", 2, 3),
        ("会议纪要.htm", "会议纪要", 2, 3),
        ("年度总结.html", "年度总结", 4, 2),
    ]
    for name, title, depth, width in samples:
        block = data_block(mind_map(rng, title, depth, width))
        text = document("1.2", title, old_script, old_styles, block)
        (old / name).write_bytes(text.encode("utf-8"))
    (old / "说明页面.html").write_bytes(
        document("1.2", "说明页面", old_script, old_styles, None).encode("utf-8"))


if __name__ == "__main__":
    main()
