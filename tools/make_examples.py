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
        children = [] if level == depth else [
            node(level + 1, f"{path}.{i + 1}") for i in range(rng.randint(1, width))]
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


def document(version, title, script, styles, block):
    body_block = "" if block is None else f"{START}{block}{END}\r\n"
    return (
        "<!DOCTYPE html>\r\n<html lang=\"zh-CN\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        f"<title>{title} - 岚溪图谱 ORBA {version}</title>\r\n"
        f"<style>\r\n{styles}\r\n</style>\r\n</head>\r\n<body>\r\n"
        f"<div class=\"toolbar\"><button>新建节点</button><button>删除节点</button>"
        f"<button>导出图片</button><span>岚溪图谱 ORBA {version}</span></div>\r\n"
        "<div id=\"canvas\"></div>\r\n"
        f"{body_block}"
        f"<script>\r\n{script}\r\n</script>\r\n</body>\r\n</html>\r\n"
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
