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
set xrange [99.9:102.1]
set yrange [197.9:200.1]
set arrow 1 from 100,200 to 100,198 nohead lc rgb '#0000ff'
set arrow 2 from 100,200 to 102,200 nohead lc rgb '#0000ff'
set arrow 3 from 100,198 to 102,198 nohead lc rgb '#0000ff'
set arrow 4 from 102,200 to 102,198 nohead lc rgb '#0000ff'
set arrow 5 from 100,200 to 100,198 nohead lc rgb '#bb0000'
set arrow 6 from 100,200 to 102,200 nohead lc rgb '#bb0000'
set arrow 7 from 100,198 to 102,198 nohead lc rgb '#bb0000'
set arrow 8 from 102,200 to 102,198 nohead lc rgb '#bb0000'
plot '-' using 1:2:3 with points pt 7 ps 1.5 lc rgb variable
100.5 199.5 0x0000ff
100.5 199.5 0xbb0000
e
reset
