set term png size 1250,750
set output 'dem_Coord_Map.png'
unset key
set title 'Tie Coordinate Map'
set origin .05,0
set size .95, 1
set object circle at screen 0.02,0.52 radius char 0.5 fillstyle solid fillcolor rgb '#0000ff'
set label 1 'Initial' at screen 0.03,0.52
set object circle at screen 0.02,0.48 radius char 0.5 fillstyle solid fillcolor rgb '#bb0000'
set label 2 'Final' at screen 0.03,0.48
set xrange [137.399911:137.401417]
set yrange [-4.55087:-4.549905]
set arrow 1 from 137.4,-4.55 to 137.400016,-4.55079 nohead lc rgb '#0000ff'
set arrow 2 from 137.4,-4.55 to 137.40119,-4.549964 nohead lc rgb '#0000ff'
set arrow 3 from 137.400016,-4.55079 to 137.401206,-4.550754 nohead lc rgb '#0000ff'
set arrow 4 from 137.40119,-4.549964 to 137.401206,-4.550754 nohead lc rgb '#0000ff'
set arrow 5 from 137.39997,-4.55002 to 137.39997,-4.55081 nohead lc rgb '#bb0000'
set arrow 6 from 137.39997,-4.55002 to 137.40116,-4.55002 nohead lc rgb '#bb0000'
set arrow 7 from 137.39997,-4.55081 to 137.40116,-4.55081 nohead lc rgb '#bb0000'
set arrow 8 from 137.40116,-4.55002 to 137.40116,-4.55081 nohead lc rgb '#bb0000'
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
137.400432 -4.550346 0x0000ff
137.401358 -4.550123 0x0000ff
137.400402 -4.550366 0xbb0000
137.401328 -4.550143 0xbb0000
e
reset
