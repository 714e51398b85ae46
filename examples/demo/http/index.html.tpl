<!DOCTYPE html>
<html>
<head>
<meta http-equiv="refresh" content="2">
<title>Halvane</title>
<style>
body { font-family: Arial, Helvetica, sans-serif; margin: 2em; color: #222; background: #f5f6f8; }
h1 { margin: 0 0 0.5em; font-size: 1.6em; }
h2 { margin: 1.5em 0 0.5em; font-size: 1.2em; color: #2d4a6b; }
table { border-collapse: collapse; background: #fff; counter-reset: tag; }
th, td { padding: 0.35em 0.9em; border-bottom: 1px solid #dde1e6; text-align: left; }
th { background: #2d4a6b; color: #fff; font-weight: normal; }
tbody tr { counter-increment: tag; }
td.number::before { content: counter(tag); }
td.number, td.value { text-align: right; font-variant-numeric: tabular-nums; }
figure { display: inline-block; margin: 0 1.5em 1.5em 0; vertical-align: top; }
figcaption { margin-top: 0.3em; color: #555; }
img { border: 1px solid #ccd; max-width: 100%; }
img[src=""] { display: none; }
</style>
</head>
<body>
<h1>Halvane</h1>
<p><a href="/hmi/">Operator page</a> &middot; <a href="history.html">History trends</a></p>
<h2>Tags (${tag_count})</h2>
<table>
<thead><tr><th>No.</th><th>Name</th><th>Value</th><th>Unit</th></tr></thead>
<tbody>${tag_resetcount}
<tr><td class="number"></td><td>${tag_name_next}</td><td class="value">${tag_value_next}</td><td>${tag_unit_next}</td></tr>
${tag_gotonext}
</tbody>
</table>
<h2>Screens (${screen_count})</h2>${screen_resetcount}
<figure><img src="${screen_img_next}" alt="${screen_name_next}"><figcaption>${screen_name_next}</figcaption></figure>
${screen_gotonext}
</body>
</html>
